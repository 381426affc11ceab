#include "player/SoundTrack.h"

#include <algorithm>
#include <cmath>
#include <vector>

extern "C" {
#include <libavutil/channel_layout.h>
}

#include "player/AvError.h"
#include "util/Failure.h"

namespace corvid {

namespace {

// What a failed FFmpeg call of this file stops.
constexpr const char* kSoundConversion = "The sound cannot be converted";

// Sound this far from where the timeline expects it is a gap or an overlap in the
// recording; nearer, it is timestamp rounding and plays on without a seam.
constexpr double kSeamSeconds = 0.03;
constexpr int kSilenceChunk = 4096;

}  // namespace

Mp4Writer::Sound SoundTrack::formatFor(const AVCodecContext& decoder) {
    Mp4Writer::Sound format;
    format.channels = decoder.ch_layout.nb_channels >= 2 ? 2 : 1;
    // AAC's own rates; others are resampled to 48 kHz.
    static constexpr int kRates[] = {96000, 88200, 64000, 48000, 44100, 32000,
                                     24000, 22050, 16000, 12000, 11025, 8000};
    format.sampleRate =
        std::find(std::begin(kRates), std::end(kRates), decoder.sample_rate) != std::end(kRates)
            ? decoder.sample_rate
            : 48000;
    return format;
}

SoundTrack::SoundTrack(FrameReader& sound, double shift, double length, Mp4Writer& writer)
    : sound_(sound),
      shift_(shift),
      writer_(writer),
      rate_(writer.soundRate()),
      length_(std::llround(length * rate_)),
      resampler_(swr_alloc()),
      fifo_(av_audio_fifo_alloc(AV_SAMPLE_FMT_FLTP, writer.soundLayout().nb_channels,
                                writer.soundFrameSize() * 4)) {
    if (!resampler_ || !fifo_) throwOnAvError(AVERROR(ENOMEM), kSoundConversion, "no memory");
    sound_.start(-shift_);
}

void SoundTrack::append(uint8_t* const* planes, std::int64_t samples) {
    samples = std::min(samples, length_ - laid_);
    if (samples <= 0) return;
    throwOnAvError(
        av_audio_fifo_write(fifo_.get(), reinterpret_cast<void**>(const_cast<uint8_t**>(planes)),
                            static_cast<int>(samples)),
        kSoundConversion, "buffer");
    laid_ += samples;
}

void SoundTrack::appendSilence(std::int64_t samples) {
    FrameHandle silence = makeFrame();
    if (!silence) throwOnAvError(AVERROR(ENOMEM), kSoundConversion, "no memory");
    silence->format = AV_SAMPLE_FMT_FLTP;
    silence->nb_samples = kSilenceChunk;
    throwOnAvError(av_channel_layout_copy(&silence->ch_layout, &writer_.soundLayout()),
                   kSoundConversion, "layout");
    throwOnAvError(av_frame_get_buffer(silence.get(), 0), kSoundConversion, "no memory");
    av_samples_set_silence(silence->extended_data, 0, kSilenceChunk, silence->ch_layout.nb_channels,
                           AV_SAMPLE_FMT_FLTP);
    while (samples > 0 && laid_ < length_) {
        const std::int64_t chunk = std::min<std::int64_t>(samples, kSilenceChunk);
        append(silence->extended_data, chunk);
        samples -= chunk;
    }
}

void SoundTrack::place(const FrameReader::Frame& sound) {
    // The resampler settles an unspecified layout to the usual one for the channel count,
    // and would then take every frame as a change of format.
    AVChannelLayout& layout = sound.frame->ch_layout;
    if (layout.order == AV_CHANNEL_ORDER_UNSPEC) {
        const int channels = layout.nb_channels;
        av_channel_layout_uninit(&layout);
        av_channel_layout_default(&layout, channels);
    }
    FrameHandle converted = makeFrame();
    if (!converted) throwOnAvError(AVERROR(ENOMEM), kSoundConversion, "no memory");
    converted->format = AV_SAMPLE_FMT_FLTP;
    converted->sample_rate = rate_;
    throwOnAvError(av_channel_layout_copy(&converted->ch_layout, &writer_.soundLayout()),
                   kSoundConversion, "layout");
    int result = swr_convert_frame(resampler_.get(), converted.get(), sound.frame.get());
    if (result == AVERROR_INPUT_CHANGED || result == AVERROR_OUTPUT_CHANGED) {
        // A recording whose sound changed its format on the way.
        swr_close(resampler_.get());
        throwOnAvError(swr_config_frame(resampler_.get(), converted.get(), sound.frame.get()),
                       kSoundConversion, "setup");
        throwOnAvError(swr_init(resampler_.get()), kSoundConversion, "setup");
        result = swr_convert_frame(resampler_.get(), converted.get(), sound.frame.get());
    }
    throwOnAvError(result, kSoundConversion, "samples");

    const auto at = std::llround((sound.time + shift_) * rate_);
    const auto seam = std::llround(kSeamSeconds * rate_);
    if (at > laid_ + seam) appendSilence(at - laid_);
    // Sound before the export's start, or heard already, is left out.
    const std::int64_t skip =
        laid_ - at > seam ? std::min<std::int64_t>(laid_ - at, converted->nb_samples) : 0;
    std::vector<uint8_t*> planes(converted->ch_layout.nb_channels);
    for (std::size_t c = 0; c < planes.size(); ++c)
        planes[c] = converted->extended_data[c] + skip * static_cast<std::int64_t>(sizeof(float));
    append(planes.data(), converted->nb_samples - skip);
}

void SoundTrack::writeUntil(double time) {
    const std::int64_t until = std::min<std::int64_t>(length_, std::llround(time * rate_));
    while (laid_ < until && !ended_) {
        std::optional<FrameReader::Frame> sound = sound_.next();
        if (!sound) {
            ended_ = true;
            break;
        }
        place(*sound);
    }
    if (ended_ && laid_ < until) appendSilence(until - laid_);
    encode(false);
}

void SoundTrack::finish() {
    writeUntil(static_cast<double>(length_) / rate_);
    if (laid_ < length_) appendSilence(length_ - laid_);
    encode(true);
}

void SoundTrack::encode(bool all) {
    const int size = writer_.soundFrameSize();
    while (av_audio_fifo_size(fifo_.get()) >= size ||
           (all && av_audio_fifo_size(fifo_.get()) > 0)) {
        const int samples = std::min(size, av_audio_fifo_size(fifo_.get()));
        FrameHandle frame = makeFrame();
        if (!frame) throwOnAvError(AVERROR(ENOMEM), kSoundConversion, "no memory");
        frame->format = AV_SAMPLE_FMT_FLTP;
        frame->sample_rate = rate_;
        frame->nb_samples = samples;
        throwOnAvError(av_channel_layout_copy(&frame->ch_layout, &writer_.soundLayout()),
                       kSoundConversion, "layout");
        throwOnAvError(av_frame_get_buffer(frame.get(), 0), kSoundConversion, "no memory");
        throwOnAvError(av_audio_fifo_read(fifo_.get(),
                                          reinterpret_cast<void**>(frame->extended_data), samples),
                       kSoundConversion, "buffer");
        frame->pts = encoded_;
        encoded_ += samples;
        writer_.writeSound(*frame);
    }
}

}  // namespace corvid
