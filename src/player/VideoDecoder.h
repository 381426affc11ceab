#pragma once

#include <atomic>
#include <thread>

#include "player/DecoderRefusals.h"
#include "player/FrameQueue.h"
#include "player/InjectedFaults.h"
#include "player/MediaSource.h"
#include "player/PacketQueue.h"
#include "player/PlaybackFault.h"

namespace corvid {

// Decodes the video stream on its own thread into the frame queue. After a seek it
// decodes forward from the key frame and passes on only the picture due at the target:
// the last one that starts at or before it. A decoder that keeps refusing the packets is
// reported to `fault`.
class VideoDecoder {
public:
    // `faults` may be null.
    VideoDecoder(const MediaSource& file, PacketQueue& packets, FrameQueue& frames,
                 const std::atomic<int>& generation, PlaybackFault& fault,
                 const InjectedFaults* faults);
    ~VideoDecoder();
    VideoDecoder(const VideoDecoder&) = delete;
    VideoDecoder& operator=(const VideoDecoder&) = delete;

    void stop();

private:
    void run();
    void send(const AVPacket* packet);
    void receiveFrames();
    // Tells the fault once the decoder refused too much in a row.
    void checkRefusal(int answer);
    void deliver(FrameHandle frame, double time);
    void finishGeneration();
    double timeOf(const AVFrame* frame);

    const MediaSource& file_;
    AVCodecContext* codec_;
    PacketQueue& packets_;
    FrameQueue& frames_;
    const std::atomic<int>& generation_;
    PlaybackFault& fault_;
    const InjectedFaults* faults_;
    std::atomic<bool> stopping_{false};
    DecoderRefusals refusals_;

    // Decoding state of the thread.
    int decoding_ = 0;  // generation of the packets being decoded
    bool seeking_ = false;
    double target_ = 0;
    bool needKeyFrame_ = false;
    FrameHandle candidate_;
    double candidateTime_ = 0;
    double lastTime_ = -1;
    std::thread thread_;
};

}  // namespace corvid
