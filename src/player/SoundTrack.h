#pragma once

#include <cstdint>

extern "C" {
#include <libavutil/audio_fifo.h>
}

#include "player/AvHandles.h"
#include "player/FrameReader.h"
#include "player/Mp4Writer.h"

namespace corvid {

struct AudioFifoFreer {
    void operator()(AVAudioFifo* fifo) const { av_audio_fifo_free(fifo); }
};

// The sound of one camera laid on an export's timeline and encoded: the camera's sound
// where it has some, silence where it has none (before it starts, in gaps, after it ends),
// cut to the export's length.
class SoundTrack {
public:
    // `shift` takes the camera's media time to the export's (export = media + shift);
    // `length` is the export's length in seconds.
    SoundTrack(FrameReader& sound, double shift, double length, Mp4Writer& writer);
    SoundTrack(const SoundTrack&) = delete;
    SoundTrack& operator=(const SoundTrack&) = delete;

    // The sound rate and channel count a writer is opened with for a camera's sound.
    static Mp4Writer::Sound formatFor(const AVCodecContext& decoder);

    // Encodes the sound up to `time` seconds of the export.
    void writeUntil(double time);
    // Encodes the rest, up to the export's length.
    void finish();

private:
    // Appends a decoded frame of the camera's sound where it belongs on the timeline.
    void place(const FrameReader::Frame& sound);
    void appendSilence(std::int64_t samples);
    void append(uint8_t* const* planes, std::int64_t samples);
    // Hands whole encoder frames to the writer; with `all`, the short last one too.
    void encode(bool all);

    FrameReader& sound_;
    const double shift_;
    Mp4Writer& writer_;
    const int rate_;
    const std::int64_t length_;  // in samples
    ResamplerHandle resampler_;
    std::unique_ptr<AVAudioFifo, AudioFifoFreer> fifo_;
    std::int64_t laid_ = 0;     // samples on the timeline so far
    std::int64_t encoded_ = 0;  // samples handed to the writer
    bool ended_ = false;
};

}  // namespace corvid
