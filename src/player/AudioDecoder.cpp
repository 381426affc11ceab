#include "player/AudioDecoder.h"

#include <algorithm>
#include <chrono>
#include <cmath>

extern "C" {
#include <libavutil/channel_layout.h>
}

#include "platform/util/Failure.h"
#include "player/PlayerLog.h"
#include "player/ThreadName.h"

namespace corvid {

namespace {

using namespace std::chrono_literals;

// Slow motion keeps its sound, as reviewers expect; above twice the speed sound is no
// help and is dropped.
constexpr double kSlowestAudible = 0.125;
constexpr double kFastestAudible = 2.0;
// How far ahead of the clock silent (dropped) sound may be decoded.
constexpr double kDropLead = 0.25;
// A full output holds a tenth of a second or more: looking for room every 20 ms keeps it
// full without waking the thread hundreds of times a second.
constexpr auto kFullOutputNap = 20ms;

}  // namespace

AudioDecoder::AudioDecoder(const MediaSource& file, PacketQueue& packets, IAudioOutput& output,
                           MediaClock& clock, const std::atomic<int>& generation,
                           bool releasesClock, PlaybackFault& fault, const InjectedFaults* faults)
    : file_(file),
      codec_(file.audioCodec()),
      packets_(packets),
      output_(output),
      clock_(clock),
      generation_(generation),
      releasesClock_(releasesClock),
      fault_(fault),
      faults_(faults) {
    thread_ = std::thread([this] { run(); });
}

AudioDecoder::~AudioDecoder() {
    stop();
    if (thread_.joinable()) thread_.join();
}

void AudioDecoder::stop() {
    stopping_ = true;
    packets_.abort();
    wake();
}

void AudioDecoder::wake() {
    {
        std::lock_guard lock(napLock_);
        woken_ = true;
    }
    napWake_.notify_all();
}

void AudioDecoder::nap(std::chrono::milliseconds duration) {
    std::unique_lock lock(napLock_);
    napWake_.wait_for(lock, duration, [this] { return woken_; });
    woken_ = false;
}

bool AudioDecoder::superseded() const {
    return stopping_ || generation_.load() != decoding_;
}

void AudioDecoder::run() {
    nameThisThread("corvid-audio");
    while (!stopping_) {
        std::optional<PacketItem> item = packets_.pop(50ms);
        if (!item) continue;
        switch (item->kind) {
            case PacketItem::Kind::Flush:
                avcodec_flush_buffers(codec_);
                decoding_ = item->generation;
                seeking_ = true;
                muted_ = false;
                target_ = item->target;
                nextTime_ = target_;
                output_.discard();
                if (resampler_) swr_init(resampler_.get());  // drops samples held inside
                tempo_.reset();
                break;
            case PacketItem::Kind::End:
                if (item->generation != decoding_) break;
                avcodec_send_packet(codec_, nullptr);
                receiveFrames();
                if (!superseded()) drainTempo();
                avcodec_flush_buffers(codec_);
                if (releasesClock_) clock_.release(decoding_);
                ended_ = decoding_;
                break;
            case PacketItem::Kind::Data:
                if (item->generation != decoding_) break;
                if (!audible_) {
                    passUnheard(*item->packet);
                    break;
                }
                if (passedUnheard_) {
                    // The sound heard again starts where the clock is, from a fresh decoder.
                    passedUnheard_ = false;
                    avcodec_flush_buffers(codec_);
                    if (resampler_) swr_init(resampler_.get());
                    tempo_.reset();
                    muted_ = true;
                }
                send(item->packet.get());
                break;
        }
    }
}

void AudioDecoder::setAudible(bool audible) {
    audible_ = audible;
    wake();
}

void AudioDecoder::passUnheard(const AVPacket& packet) {
    // Sound nobody hears is not decoded; its packets go at the pace of the clock, so that
    // it can be heard again at once.
    passedUnheard_ = true;
    seeking_ = false;
    waitWhileHeld();
    if (packet.pts == AV_NOPTS_VALUE) return;
    const double time = file_.seconds(packet.pts, file_.audioIndex());
    while (!superseded() && !audible_ && clock_.position() < time - kDropLead) nap(5ms);
}

void AudioDecoder::checkRefusal(int answer) {
    if (refusals_.failedForGood(answer))
        fault_.report("The sound of the recording can no longer be decoded");
}

void AudioDecoder::send(const AVPacket* packet) {
    const bool injected =
        faults_ != nullptr && faults_->fails(InjectedFaults::Worker::AudioDecoder, file_.path());
    const int sent = injected ? AVERROR(ENOMEM) : avcodec_send_packet(codec_, packet);
    checkRefusal(sent);
    if (sent >= 0) receiveFrames();
}

void AudioDecoder::receiveFrames() {
    FrameHandle frame = makeFrame();
    while (!superseded()) {
        const int received = avcodec_receive_frame(codec_, frame.get());
        checkRefusal(received);
        if (received < 0) return;
        play(frame.get());
        av_frame_unref(frame.get());
    }
}

bool AudioDecoder::prepareResampler(const AVFrame* frame, int outRate) {
    if (resampler_ && resamplerInRate_ == frame->sample_rate &&
        resamplerInFormat_ == frame->format &&
        resamplerInChannels_ == frame->ch_layout.nb_channels && resamplerOutRate_ == outRate)
        return true;
    resampler_.reset();
    AVChannelLayout in{};
    if (frame->ch_layout.order == AV_CHANNEL_ORDER_UNSPEC || frame->ch_layout.nb_channels == 0) {
        av_channel_layout_default(&in, std::max(1, frame->ch_layout.nb_channels));
    } else if (av_channel_layout_copy(&in, &frame->ch_layout) < 0) {
        return false;
    }
    AVChannelLayout out = AV_CHANNEL_LAYOUT_STEREO;
    SwrContext* raw = nullptr;
    const int made = swr_alloc_set_opts2(&raw, &out, AV_SAMPLE_FMT_FLT, outRate, &in,
                                         static_cast<AVSampleFormat>(frame->format),
                                         frame->sample_rate, 0, nullptr);
    av_channel_layout_uninit(&in);
    ResamplerHandle resampler(raw);
    if (made < 0 || swr_init(resampler.get()) < 0) return false;
    resampler_ = std::move(resampler);
    resamplerInRate_ = frame->sample_rate;
    resamplerInFormat_ = frame->format;
    resamplerInChannels_ = frame->ch_layout.nb_channels;
    resamplerOutRate_ = outRate;
    return true;
}

void AudioDecoder::waitWhileHeld() {
    if (releasesClock_) {
        clock_.release(decoding_);
        return;
    }
    while (!superseded() && clock_.held()) nap(2ms);
}

// The sound not heard yet was made at writtenRate_: so much of it is that much media time.
void AudioDecoder::steerClock(double writtenUpTo) {
    if (output_.drivesClock())
        clock_.syncToAudio(writtenUpTo - output_.latency() * writtenRate_, decoding_,
                           output_.played());
}

bool AudioDecoder::behindClock(double writtenUpTo) {
    if (clock_.followsSound()) return false;
    const double heard = writtenUpTo - output_.latency() * writtenRate_;
    return clock_.position() - heard > PlaybackClock::kSoundRejoin * std::max(clock_.rate(), 1.0);
}

bool AudioDecoder::speedChanged() const {
    return std::abs(clock_.rate() - writtenRate_) > 1e-6 * writtenRate_;
}

void AudioDecoder::restartAtClock() {
    qCDebug(lcPlayer) << "sound behind the clock at" << clock_.position() << "is dropped";
    output_.discard();
    tempo_.reset();
    muted_ = true;
}

void AudioDecoder::writeAll(const float* samples, std::size_t frames, double frameSeconds,
                            double endTime) {
    while (frames > 0 && !superseded()) {
        if (output_.failed()) {
            // Waited on as a full device is, so that a stop still ends the wait.
            fault_.report("The sound device stopped working");
            nap(kFullOutputNap);
            continue;
        }
        const std::size_t room = std::min(frames, output_.writable());
        if (room == 0) {
            // A full output may mean a stalled server: the clock hears of it meanwhile.
            const double writtenUpTo = endTime - static_cast<double>(frames) * frameSeconds;
            steerClock(writtenUpTo);
            // Sound made for another speed is dropped: it would be heard at the old pace.
            if (behindClock(writtenUpTo) || speedChanged()) return restartAtClock();
            nap(kFullOutputNap);
            continue;
        }
        writtenRate_ = frameSeconds * output_.sampleRate();
        output_.write(samples, room);
        samples += room * IAudioOutput::kChannels;
        frames -= room;
    }
}

void AudioDecoder::play(const AVFrame* frame) {
    if (frame->sample_rate <= 0 || frame->nb_samples <= 0) return;
    const double start = file_.frameTime(frame, file_.audioIndex()).value_or(nextTime_);
    const double length = static_cast<double>(frame->nb_samples) / frame->sample_rate;
    nextTime_ = start + length;
    if (seeking_) {
        if (start + length <= target_) return;  // wholly before the target
        seeking_ = false;
    }
    const double rate = clock_.rate();
    if (!muted_ && (behindClock(start) || (speedChanged() && output_.latency() > 0)))
        restartAtClock();
    if (rate < kSlowestAudible || rate > kFastestAudible || !prepareTempo(rate)) {
        // Too slow or fast to be heard: keep pace with the clock without sound.
        tempo_.reset();
        waitWhileHeld();
        while (!superseded() && clock_.position() < start - kDropLead) nap(5ms);
        muted_ = true;
        return;
    }
    if (muted_) {
        // Sound kept ahead of the clock while muted starts when the clock gets there,
        // rather than pulling the clock forward to itself; sound the clock has passed is
        // too late to be heard with its pictures.
        waitWhileHeld();
        if (start + length < clock_.position() + output_.latency() * rate) return;
        while (!superseded() && clock_.position() < start - output_.latency() * rate) nap(2ms);
        muted_ = false;
    }
    const int outRate = output_.sampleRate();
    if (!prepareResampler(frame, outRate)) return;
    const int capacity = swr_get_out_samples(resampler_.get(), frame->nb_samples);
    if (capacity <= 0) return;
    buffer_.resize(static_cast<std::size_t>(capacity) * IAudioOutput::kChannels);
    auto* out = reinterpret_cast<std::uint8_t*>(buffer_.data());
    const int converted =
        swr_convert(resampler_.get(), &out, capacity,
                    const_cast<const std::uint8_t**>(frame->extended_data), frame->nb_samples);
    if (converted <= 0) return;
    // Samples before a seek target are cut off.
    std::size_t skip = 0;
    if (start < target_ && start + length > target_) {
        skip = std::min<std::size_t>(static_cast<std::size_t>(converted),
                                     static_cast<std::size_t>((target_ - start) * outRate));
        target_ = 0;
    }
    waitWhileHeld();
    deliver(buffer_.data() + skip * IAudioOutput::kChannels,
            static_cast<std::size_t>(converted) - skip, rate);
}

bool AudioDecoder::prepareTempo(double rate) {
    if (tempo_ && tempo_->tempo() == rate) return true;
    drainTempo();
    if (rate == 1.0) return true;
    try {
        tempo_ = std::make_unique<TempoFilter>(output_.sampleRate(), rate);
    } catch (const Failure&) {
        return false;
    }
    return true;
}

void AudioDecoder::deliver(const float* samples, std::size_t frames, double rate) {
    const double frameSeconds = rate / output_.sampleRate();
    deliveredUpTo_ = nextTime_;
    if (!tempo_) {
        writeAll(samples, frames, frameSeconds, nextTime_);
        steerClock(nextTime_);
        return;
    }
    // The filter keeps some sound back to work on: what is heard ends that much earlier.
    tempo_->push(samples, frames);
    tempoOut_.clear();
    tempo_->pull(tempoOut_);
    const double endTime = nextTime_ - tempo_->heldSeconds();
    writeAll(tempoOut_.data(), tempoOut_.size() / IAudioOutput::kChannels, frameSeconds, endTime);
    steerClock(endTime);
}

void AudioDecoder::drainTempo() {
    if (!tempo_) return;
    const double frameSeconds = tempo_->tempo() / output_.sampleRate();
    tempo_->finish();
    tempoOut_.clear();
    tempo_->pull(tempoOut_);
    tempo_.reset();
    writeAll(tempoOut_.data(), tempoOut_.size() / IAudioOutput::kChannels, frameSeconds,
             deliveredUpTo_);
    steerClock(deliveredUpTo_);
}

}  // namespace corvid
