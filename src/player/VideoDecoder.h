#pragma once

#include <atomic>
#include <thread>

#include "player/FrameQueue.h"
#include "player/MediaSource.h"
#include "player/PacketQueue.h"

namespace corvid {

// Decodes the video stream on its own thread into the frame queue. After a seek it
// decodes forward from the key frame and passes on only the picture due at the target:
// the last one that starts at or before it.
class VideoDecoder {
public:
    VideoDecoder(const MediaSource& file, PacketQueue& packets, FrameQueue& frames,
                 const std::atomic<int>& generation);
    ~VideoDecoder();
    VideoDecoder(const VideoDecoder&) = delete;
    VideoDecoder& operator=(const VideoDecoder&) = delete;

    void stop();

private:
    void run();
    void receiveFrames();
    void deliver(FrameHandle frame, double time);
    void finishGeneration();
    double timeOf(const AVFrame* frame);

    const MediaSource& file_;
    AVCodecContext* codec_;
    PacketQueue& packets_;
    FrameQueue& frames_;
    const std::atomic<int>& generation_;
    std::atomic<bool> stopping_{false};

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
