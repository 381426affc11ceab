#pragma once

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "player/AvHandles.h"
#include "player/MediaSource.h"

namespace corvid {

// Opens a media file, decodes its first picture and scans its end, on a thread of its
// own, and waits for that at most the open's time limit. On storage that stops answering
// (a network mount that hangs) open() and read() block in the kernel beyond the reach of
// any interrupt; past the limit the caller gets Failure(Timeout) and goes on, and the
// opening thread frees what it opened whenever the storage answers again.
class MediaOpener {
public:
    struct Opened {
        std::unique_ptr<MediaSource> source;
        // Null when the file plays as sound only.
        FrameHandle firstPicture;
        // Sound read on the way to the first picture, for the audio decoder.
        std::vector<PacketHandle> audioAhead;
    };

    // Throws what opening threw (Failure(CannotOpen), ...), or Failure(Timeout).
    static Opened open(const std::string& path, std::chrono::milliseconds timeout,
                       MediaSource::ReadGate gate = {});
};

}  // namespace corvid
