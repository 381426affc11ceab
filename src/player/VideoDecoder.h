#pragma once

#include <atomic>
#include <cstdint>
#include <limits>
#include <mutex>

#include "player/CatchUpPolicy.h"
#include "player/DecoderRefusals.h"
#include "player/FrameQueue.h"
#include "player/InjectedFaults.h"
#include "player/MediaClock.h"
#include "player/MediaSource.h"
#include "player/PacketQueue.h"
#include "player/PlaybackFault.h"
#include "player/WorkerThread.h"

namespace corvid {

// Decodes the video stream on its own thread into the frame queue. After a seek it
// decodes forward from the key frame and passes on only the picture due at the target:
// the last one that starts at or before it. While the clock runs ahead of the pictures it
// decodes it leaves pictures out (see CatchUpPolicy); never while a seek looks for its
// picture. While the clock is held it keeps one picture ready and waits. A decoder that
// keeps refusing the packets is reported to `fault`.
class VideoDecoder {
public:
    // `faults` may be null.
    VideoDecoder(const MediaSource& file, PacketQueue& packets, FrameQueue& frames,
                 const std::atomic<int>& generation, const MediaClock& clock, PlaybackFault& fault,
                 const InjectedFaults* faults);
    VideoDecoder(const VideoDecoder&) = delete;
    VideoDecoder& operator=(const VideoDecoder&) = delete;

    void stop();
    // Whether the picture due at media time `time` of seek `generation` is, or will be,
    // decoded: false when pictures about it may have been left out. A seek the decoder has
    // not begun yet decodes every picture it shows.
    bool exactAt(int generation, double time) const;
    // The packets decoded with pictures left out, since the start.
    std::uint64_t skippingPackets() const { return skippingPackets_.load(); }

private:
    void run();
    void abortQueues();
    void waitWhileHeld();
    void send(const AVPacket* packet);
    void receiveFrames();
    // Tells the fault once the decoder refused too much in a row.
    void checkRefusal(int answer);
    void deliver(FrameHandle frame, double time);
    // Weighs how late a decoded picture is against the clock.
    void observeLateness(double time);
    // Picks what the next packet may leave out, and notes from where every picture is there.
    void chooseDiscard(const AVPacket* packet);
    void finishGeneration();
    double timeOf(const AVFrame* frame);

    const MediaSource& file_;
    AVCodecContext* codec_;
    PacketQueue& packets_;
    FrameQueue& frames_;
    const std::atomic<int>& generation_;
    const MediaClock& clock_;
    PlaybackFault& fault_;
    const InjectedFaults* faults_;
    DecoderRefusals refusals_;
    std::atomic<std::uint64_t> skippingPackets_{0};

    // From which picture time on of generation `exactGeneration_` every picture is decoded:
    // -infinity when none was left out, +infinity while they are or until the first picture
    // after them comes out.
    mutable std::mutex exactMutex_;
    int exactGeneration_ = 0;
    double exactFrom_ = -std::numeric_limits<double>::infinity();

    // Decoding state of the thread.
    int decoding_ = 0;  // generation of the packets being decoded
    bool seeking_ = false;
    double target_ = 0;
    bool needKeyFrame_ = false;
    FrameHandle candidate_;
    double candidateTime_ = 0;
    double lastTime_ = -1;
    CatchUpPolicy catchUp_;
    bool awaitingExact_ = false;  // the first picture decoded whole after skipping is next
    WorkerThread worker_{"corvid-video", [this] { run(); }, [this] { abortQueues(); }};
};

}  // namespace corvid
