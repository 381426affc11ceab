#pragma once

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "player/AvHandles.h"
#include "player/MediaSource.h"

namespace corvid {

// Opens a media file, decodes its first picture and scans its end, on a thread of its
// own, and waits for that at most the open's time limit. Past the limit the caller gets
// Failure(Timeout) and goes on, and the opening thread frees what it opened; the storage's
// own calls, which may block in the kernel beyond any interrupt, are left to the file's
// readers (FileReader). An opener made ahead of time lets a file open while other work goes
// on (two files of a pair at once).
class MediaOpener {
public:
    struct Opened {
        std::unique_ptr<MediaSource> source;
        // Null when the file plays as sound only.
        FrameHandle firstPicture;
        // Sound read on the way to the first picture, for the audio decoder.
        std::vector<PacketHandle> audioAhead;
    };

    // Starts opening the file of `storage`; the time limit counts from now.
    MediaOpener(std::shared_ptr<IFileStorage> storage, const std::string& path,
                std::chrono::milliseconds timeout);
    // An opener nobody waited for leaves what it opens to its thread to free.
    ~MediaOpener();
    MediaOpener(const MediaOpener&) = delete;
    MediaOpener& operator=(const MediaOpener&) = delete;

    const std::string& path() const { return path_; }
    // Waits for the open, until the time limit at most; once only. Throws what opening
    // threw (Failure(CannotOpen), ...), or Failure(Timeout).
    Opened wait();
    // Whether wait() would return at once: the open finished or its time ran out. Waits for
    // that until `until` at most.
    bool ready(std::chrono::steady_clock::time_point until) const;

    static Opened open(std::shared_ptr<IFileStorage> storage, const std::string& path,
                       std::chrono::milliseconds timeout);

    // What the waiter and the opening thread share.
    struct Attempt;

private:
    std::string path_;
    std::chrono::steady_clock::time_point deadline_;
    std::shared_ptr<Attempt> attempt_;
};

}  // namespace corvid
