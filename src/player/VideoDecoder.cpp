#include "player/VideoDecoder.h"

#include <algorithm>
#include <chrono>
#include <limits>
#include <thread>

namespace corvid {

namespace {

using namespace std::chrono_literals;

// A picture this close after the target counts as at the target (timestamp rounding).
constexpr double kTargetSlack = 0.001;
constexpr double kInfinity = std::numeric_limits<double>::infinity();
// How soon a decoder waiting on a held clock sees it let go: well within a picture.
constexpr auto kHeldNap = 2ms;

}  // namespace

VideoDecoder::VideoDecoder(const MediaSource& file, PacketQueue& packets, FrameQueue& frames,
                           const std::atomic<int>& generation, const MediaClock& clock,
                           PlaybackFault& fault, const InjectedFaults* faults)
    : file_(file),
      codec_(file.videoCodec()),
      packets_(packets),
      frames_(frames),
      generation_(generation),
      clock_(clock),
      fault_(fault),
      faults_(faults) {}

void VideoDecoder::stop() {
    worker_.stop();
}

void VideoDecoder::abortQueues() {
    packets_.abort();
    frames_.abort();
}

bool VideoDecoder::exactAt(int generation, double time) const {
    std::lock_guard lock(exactMutex_);
    return generation != exactGeneration_ || time + kTargetSlack >= exactFrom_;
}

void VideoDecoder::observeLateness(double time) {
    // A standing clock waits for every picture; a held one waits for a seek's.
    if (!clock_.running() || clock_.held()) {
        catchUp_.decodeAll();
        return;
    }
    const double rate = clock_.rate();
    catchUp_.observe((clock_.position() - time) / std::max(rate, 1e-3), rate);
}

void VideoDecoder::waitWhileHeld() {
    // A held clock (a pair still loading or seeking) shows nothing new: the picture ready
    // is enough, and decoding further ahead would take the cores the other camera needs.
    bool end = false;
    while (!worker_.stopping() && generation_.load() == decoding_ && !seeking_ && clock_.held() &&
           frames_.frontTime(decoding_, end))
        std::this_thread::sleep_for(kHeldNap);
}

void VideoDecoder::chooseDiscard(const AVPacket* packet) {
    const bool wasSkipping = catchUp_.skipping();
    // Under the lock, so that a pause that finds every picture there (exactAt) is seen here
    // before anything more is left out.
    std::lock_guard lock(exactMutex_);
    if (seeking_) {
        catchUp_.reset();  // the picture a seek shows is decoded as it always was
    } else if (!clock_.running() || clock_.held()) {
        catchUp_.decodeAll();
    }
    codec_->skip_frame = catchUp_.discardFor((packet->flags & AV_PKT_FLAG_KEY) != 0);
    if (catchUp_.skipping()) {
        ++skippingPackets_;
        exactFrom_ = kInfinity;
        awaitingExact_ = false;
    } else if (wasSkipping) {
        awaitingExact_ = true;
    }
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
    if (packet != nullptr) chooseDiscard(packet);
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
        if (awaitingExact_) {
            awaitingExact_ = false;
            std::lock_guard lock(exactMutex_);
            exactFrom_ = time;
        }
        if (!seeking_) {
            observeLateness(time);
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
    while (!worker_.stopping()) {
        std::optional<PacketItem> item = packets_.pop(PacketQueue::kDecoderWait);
        if (!item) continue;
        switch (item->kind) {
            case PacketItem::Kind::Flush:
                avcodec_flush_buffers(codec_);
                decoding_ = item->generation;
                seeking_ = true;
                target_ = item->target;
                needKeyFrame_ = true;
                candidate_.reset();
                catchUp_.reset();
                awaitingExact_ = false;
                {
                    std::lock_guard lock(exactMutex_);
                    exactGeneration_ = decoding_;
                    exactFrom_ = -kInfinity;
                }
                lastTime_ = target_ - file_.frameInterval();
                break;
            case PacketItem::Kind::End:
                if (item->generation == decoding_) finishGeneration();
                break;
            case PacketItem::Kind::Data:
                if (item->generation != decoding_) break;
                if (needKeyFrame_ && !(item->packet->flags & AV_PKT_FLAG_KEY)) break;
                needKeyFrame_ = false;
                waitWhileHeld();
                send(item->packet.get());
                break;
        }
    }
}

}  // namespace corvid
