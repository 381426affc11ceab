#include "player/VideoDecoder.h"

#include <chrono>

#include "player/ThreadName.h"

namespace corvid {

namespace {

using namespace std::chrono_literals;

// A picture this close after the target counts as at the target (timestamp rounding).
constexpr double kTargetSlack = 0.001;

}  // namespace

VideoDecoder::VideoDecoder(const MediaSource& file, PacketQueue& packets, FrameQueue& frames,
                           const std::atomic<int>& generation, PlaybackFault& fault,
                           const InjectedFaults* faults)
    : file_(file),
      codec_(file.videoCodec()),
      packets_(packets),
      frames_(frames),
      generation_(generation),
      fault_(fault),
      faults_(faults) {
    thread_ = std::thread([this] { run(); });
}

VideoDecoder::~VideoDecoder() {
    stop();
    if (thread_.joinable()) thread_.join();
}

void VideoDecoder::stop() {
    stopping_ = true;
    packets_.abort();
    frames_.abort();
}

double VideoDecoder::timeOf(const AVFrame* frame) {
    lastTime_ =
        file_.frameTime(frame, file_.videoIndex()).value_or(lastTime_ + file_.frameInterval());
    return lastTime_;
}

void VideoDecoder::deliver(FrameHandle frame, double time) {
    VideoFrame item;
    item.frame = std::move(frame);
    item.time = time;
    item.generation = decoding_;
    frames_.push(std::move(item), generation_);  // refused when a newer seek came
}

void VideoDecoder::checkRefusal(int answer) {
    if (refusals_.failedForGood(answer))
        fault_.report("The pictures of the recording can no longer be decoded");
}

void VideoDecoder::send(const AVPacket* packet) {
    const bool injected =
        faults_ != nullptr && faults_->fails(InjectedFaults::Worker::VideoDecoder, file_.path());
    const int sent = injected ? AVERROR(ENOMEM) : avcodec_send_packet(codec_, packet);
    checkRefusal(sent);
    if (sent >= 0) receiveFrames();
}

void VideoDecoder::receiveFrames() {
    for (;;) {
        FrameHandle frame = makeFrame();
        const int received = avcodec_receive_frame(codec_, frame.get());
        checkRefusal(received);
        if (received < 0) return;
        const double time = timeOf(frame.get());
        if (!seeking_) {
            deliver(std::move(frame), time);
            continue;
        }
        if (time <= target_ + kTargetSlack) {
            candidate_ = std::move(frame);
            candidateTime_ = time;
            continue;
        }
        // The first picture past the target: the one before it is due at the target.
        seeking_ = false;
        if (candidate_) deliver(std::move(candidate_), candidateTime_);
        deliver(std::move(frame), time);
    }
}

void VideoDecoder::finishGeneration() {
    avcodec_send_packet(codec_, nullptr);
    receiveFrames();
    if (candidate_) deliver(std::move(candidate_), candidateTime_);
    seeking_ = false;
    VideoFrame end;
    end.end = true;
    end.time = lastTime_;
    end.generation = decoding_;
    frames_.push(std::move(end), generation_);
    avcodec_flush_buffers(codec_);
}

void VideoDecoder::run() {
    nameThisThread("corvid-video");
    while (!stopping_) {
        std::optional<PacketItem> item = packets_.pop(50ms);
        if (!item) continue;
        switch (item->kind) {
            case PacketItem::Kind::Flush:
                avcodec_flush_buffers(codec_);
                decoding_ = item->generation;
                seeking_ = true;
                target_ = item->target;
                needKeyFrame_ = true;
                candidate_.reset();
                lastTime_ = target_ - file_.frameInterval();
                break;
            case PacketItem::Kind::End:
                if (item->generation == decoding_) finishGeneration();
                break;
            case PacketItem::Kind::Data:
                if (item->generation != decoding_) break;
                if (needKeyFrame_ && !(item->packet->flags & AV_PKT_FLAG_KEY)) break;
                needKeyFrame_ = false;
                send(item->packet.get());
                break;
        }
    }
}

}  // namespace corvid
