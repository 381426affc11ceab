#pragma once

#include <memory>
#include <mutex>

#include "player/IAudioOutput.h"
#include "player/IClock.h"

namespace corvid {

// Consumes sound in real time without playing it, for machines without an audio
// device: playback keeps the timing it would have with a sound card.
class SilentAudioOutput : public IAudioOutput {
public:
    explicit SilentAudioOutput(int sampleRate, std::shared_ptr<IClock> clock,
                               double bufferSeconds = 0.2);

    int sampleRate() const override { return sampleRate_; }
    std::size_t writable() override;
    void write(const float* samples, std::size_t frames) override;
    void setPlaying(bool playing) override;
    void discard() override;
    double latency() override;
    double played() override;
    bool drivesClock() const override { return false; }

private:
    void consumeLocked();

    int sampleRate_;
    std::shared_ptr<IClock> clock_;
    double capacity_;
    std::mutex mutex_;
    double buffered_ = 0;  // seconds
    double played_ = 0;
    double last_ = 0;
    bool playing_ = false;
};

}  // namespace corvid
