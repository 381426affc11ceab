#pragma once

#include <atomic>
#include <deque>
#include <memory>
#include <optional>
#include <string>

#include "player/AvHandles.h"
#include "player/MediaSource.h"
#include "player/PacketReader.h"

namespace corvid {

// Reads one stream of a recording, pictures or sound, decoded and in order from a start
// time: for work that goes through a span once (an export), not for playback. Damaged
// packets are passed over as the player passes over them.
class FrameReader {
public:
    struct Frame {
        FrameHandle frame;
        double time = 0;  // media seconds, as the player counts them
    };

    // Opens `path` and the decoder of its first stream of `type` (video or audio). Throws
    // Failure(CannotOpen) when the file cannot be read; a file without such a stream opens
    // and reads nothing. Once `cancelled` is set, reads stop at once and the stream ends.
    FrameReader(const std::string& path, AVMediaType type, const std::atomic<bool>& cancelled);
    FrameReader(const FrameReader&) = delete;
    FrameReader& operator=(const FrameReader&) = delete;

    bool present() const { return stream_ >= 0; }
    const MediaSource& file() const { return *file_; }
    AVCodecContext* codec() const { return codec_; }
    AVStream* stream() const { return file_->format()->streams[stream_]; }

    // Goes to `time`: the next frame is the last one that starts at or before it, or the
    // stream's first when none does. Seeks that land late in files without an index are
    // retried further back.
    void start(double time);
    // The next frame; nothing at the end of the stream.
    std::optional<Frame> next();

private:
    void seek(double time);
    std::optional<Frame> decode();
    double timeOf(const AVFrame& frame);

    std::unique_ptr<MediaSource> file_;
    int stream_ = -1;
    AVCodecContext* codec_ = nullptr;  // owned by file_
    PacketHandle packet_ = makePacket();
    PacketReader reader_{file_->format()};
    bool needKey_ = false;
    bool drained_ = false;
    bool ended_ = false;
    double last_ = 0;         // the latest frame's time, for frames that carry none
    std::deque<Frame> held_;  // read ahead by start()
};

}  // namespace corvid
