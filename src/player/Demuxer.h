#pragma once

#include <condition_variable>
#include <mutex>
#include <optional>

#include "player/MediaSource.h"
#include "player/PacketQueue.h"
#include "player/PlaybackFault.h"
#include "player/WorkerThread.h"

namespace corvid {

// Reads the file's packets on its own thread into the decoders' queues, a bounded
// amount ahead, and carries out seeks: the newest seek replaces any not yet begun.
class Demuxer {
public:
    // `video` and `audio` may be null when the file has no such stream. A read error, or
    // a file cut short while it plays, is reported to `fault`.
    Demuxer(MediaSource& file, PacketQueue* video, PacketQueue* audio, PlaybackFault& fault);
    Demuxer(const Demuxer&) = delete;
    Demuxer& operator=(const Demuxer&) = delete;

    void seek(int generation, double target);
    void stop();

private:
    struct SeekRequest {
        int generation;
        double target;
    };

    void run();
    void interrupt();
    bool queuesFull() const;
    void performSeek(const SeekRequest& request);
    void pushEnd(int generation);
    void checkWhyReadingEnded();

    MediaSource& file_;
    PacketQueue* video_;
    PacketQueue* audio_;
    PlaybackFault& fault_;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::optional<SeekRequest> pending_;
    int generation_ = 0;
    WorkerThread worker_{"corvid-demux", [this] { run(); }, [this] { interrupt(); }};
};

}  // namespace corvid
