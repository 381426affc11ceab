#include "player/AudioDecoder.h"

#include <algorithm>
#include <chrono>
#include <cmath>

extern "C" {
#include <libavutil/channel_layout.h>
}

#include "player/PlayerLog.h"
#include "util/Failure.h"

namespace corvid {

namespace {

using namespace std::chrono_literals;

// Slow motion keeps its sound, as reviewers expect; above twice the speed sound is no
// help and is dropped.
constexpr double kSlowestAudible = 0.125;
constexpr double kFastestAudible = 2.0;
// How far ahead of the clock sound not heard may be passed over.
constexpr double kDropLead = 0.25;
// How far ahead of the clock sound too fast to be heard may be decoded: little, so that
// back at a speed that is heard the sound starts at once.
constexpr double kFastLead = 0.05;
// Sound kept to be made again at a new speed: what can still be unheard, at most this
// much media time.
constexpr double kKeptSeconds = 3.0;
// A full output holds a tenth of a second or more: looking for room every 20 ms keeps it
// full without waking the thread hundreds of times a second.
constexpr auto kFullOutputNap = 20ms;
// Naps waiting for the clock: long enough not to wake for nothing, short enough that a
// clock bent towards another camera's sound is not missed by much. A standing clock is
// woken for (a run, a seek, a new speed), and then looked at seldom.
constexpr auto kShortestClockNap = 2ms;
constexpr auto kLongestClockNap = 100ms;

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
      faults_(faults) {}

void AudioDecoder::stop() {
    worker_.stop();
}

void AudioDecoder::interrupt() {
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

void AudioDecoder::napUntilClock(double time) {
    if (!clock_.running()) return nap(kLongestClockNap);
    const auto until =
        std::chrono::milliseconds(static_cast<long long>(clock_.secondsUntil(time) * 1e3));
    nap(std::clamp<std::chrono::milliseconds>(until, kShortestClockNap, kLongestClockNap));
}

bool AudioDecoder::superseded() const {
    return worker_.stopping() || generation_.load() != decoding_;
}

void AudioDecoder::run() {
    while (!worker_.stopping()) {
        std::optional<PacketItem> item = packets_.pop(PacketQueue::kDecoderWait);
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
                kept_.clear();
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
                    kept_.clear();
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
    while (!superseded() && !audible_ && clock_.position() < time - kDropLead)
        napUntilClock(time - kDropLead);
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
    if (speedChanged()) {
        qCDebug(lcPlayer) << "sound made for" << writtenRate_ << "x is dropped at"
                          << clock_.position() << "for" << clock_.rate() << "x";
    } else {
        qCDebug(lcPlayer) << "sound behind the clock at" << clock_.position() << "is dropped";
    }
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
            // A paused output stays full until a run, which wakes us.
            nap(clock_.running() ? kFullOutputNap : kLongestClockNap);
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
    double rate = clock_.rate();
    if (!muted_ && (behindClock(start) || (speedChanged() && output_.latency() > 0)))
        restartAtClock();
    const auto heard = [this](double r) {
        return r >= kSlowestAudible && r <= kFastestAudible && prepareTempo(r);
    };
    if (!heard(rate)) {
        // Too slow or fast to be heard (or no filter for it): keep pace with the clock
        // without sound, until the speed changes.
        tempo_.reset();
        kept_.clear();
        muted_ = true;
        waitWhileHeld();
        while (!superseded() && clock_.rate() == rate && clock_.position() < start - kFastLead)
            napUntilClock(start - kFastLead);
        rate = clock_.rate();
        if (superseded() || !heard(rate)) return;
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
    const float* samples = buffer_.data() + skip * IAudioOutput::kChannels;
    const std::size_t frames = static_cast<std::size_t>(converted) - skip;
    keep(samples, frames, nextTime_);
    waitWhileHeld();
    // Silenced while it waited (a pair choosing the camera heard as it starts): written, it
    // would have made a sound stream that plays nothing.
    if (!audible_) {
        passedUnheard_ = true;
        return;
    }
    if (muted_) return rejoin(rate);
    deliver(samples, frames, rate, nextTime_);
}

void AudioDecoder::keep(const float* samples, std::size_t frames, double end) {
    if (frames == 0) return;
    // What the clock has passed is heard or will never be.
    const double passed = clock_.position();
    while (!kept_.empty() && (kept_.front().end < passed || kept_.front().end < end - kKeptSeconds))
        kept_.pop_front();
    Kept piece;
    piece.end = end;
    piece.samples.assign(samples, samples + frames * IAudioOutput::kChannels);
    kept_.push_back(std::move(piece));
}

void AudioDecoder::rejoin(double rate) {
    if (kept_.empty()) return;
    const double frameSeconds = 1.0 / output_.sampleRate();
    const auto startOf = [&](const Kept& piece) {
        return piece.end -
               static_cast<double>(piece.samples.size() / IAudioOutput::kChannels) * frameSeconds;
    };
    const double keptFrom = startOf(kept_.front());
    const double keptTo = kept_.back().end;
    // Sound written now is heard once the output has played what it holds.
    double due = clock_.position() + output_.latency() * rate;
    if (due >= keptTo) return;  // the clock has passed it: too late to be heard
    if (due < keptFrom) {
        // Ahead of the clock: it starts when the clock gets there, rather than pulling
        // the clock forward to itself.
        while (!superseded() && clock_.rate() == rate &&
               clock_.position() < keptFrom - output_.latency() * rate)
            napUntilClock(keptFrom - output_.latency() * rate);
        // A new speed is taken up with the next piece of sound.
        if (superseded() || clock_.rate() != rate) return;
        due = keptFrom;
    }
    replay_.clear();
    for (const Kept& piece : kept_) {
        if (piece.end <= due) continue;
        const double from = startOf(piece);
        std::size_t first = 0;
        if (due > from) {
            first = std::min(piece.samples.size() / IAudioOutput::kChannels,
                             static_cast<std::size_t>((due - from) / frameSeconds));
        }
        replay_.insert(replay_.end(), piece.samples.begin() + first * IAudioOutput::kChannels,
                       piece.samples.end());
    }
    muted_ = false;
    // From here on the sound not heard yet is made for this speed, though the filter may
    // give out none of it before it has taken more.
    writtenRate_ = rate;
    qCDebug(lcPlayer) << "sound starts again at" << due << "for" << rate << "x";
    deliver(replay_.data(), replay_.size() / IAudioOutput::kChannels, rate, keptTo);
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

void AudioDecoder::deliver(const float* samples, std::size_t frames, double rate, double end) {
    const double frameSeconds = rate / output_.sampleRate();
    deliveredUpTo_ = end;
    double endTime = end;
    if (!tempo_) {
        writeAll(samples, frames, frameSeconds, endTime);
    } else {
        // The filter keeps some sound back to work on: what is heard ends that much earlier.
        tempo_->push(samples, frames);
        tempoOut_.clear();
        tempo_->pull(tempoOut_);
        endTime = end - tempo_->heldSeconds();
        writeAll(tempoOut_.data(), tempoOut_.size() / IAudioOutput::kChannels, frameSeconds,
                 endTime);
    }
    // Sound dropped on the way tells the clock nothing: rejoin() starts it again.
    if (!muted_) steerClock(endTime);
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
    if (!muted_) steerClock(deliveredUpTo_);
}

}  // namespace corvid
