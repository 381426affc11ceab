#pragma once

#include <atomic>
#include <mutex>
#include <vector>

#include "player/ChannelGains.h"
#include "player/IAudioOutput.h"

namespace corvid {

// Keeps every sample written, so that what would be heard can be measured.
class CapturingAudioOutput : public IAudioOutput {
public:
    explicit CapturingAudioOutput(int sampleRate) : sampleRate_(sampleRate) {}

    int sampleRate() const override { return sampleRate_; }
    std::size_t writable() override { return 1 << 16; }
    void write(const float* samples, std::size_t frames) override;
    void setPlaying(bool) override {}
    // Captured sound is heard at once: nothing is dropped, but the place is marked.
    void discard() override;
    void setGains(float left, float right) override { gains_.set(left, right); }
    double latency() override { return 0; }
    double played() override;
    bool drivesClock() const override { return false; }
    bool failed() const override { return failed_.load(); }
    // The device stops working for good, as one unplugged.
    void fail() { failed_ = true; }

    // The samples written so far, interleaved stereo.
    std::vector<float> samples() const;
    // Those written since the last discard (after a seek: the sound of the new position).
    std::vector<float> samplesSinceDiscard() const;
    void clear();

private:
    int sampleRate_;
    mutable std::mutex mutex_;
    std::vector<float> samples_;
    std::size_t discardedAt_ = 0;
    ChannelGains gains_;
    std::atomic<bool> failed_{false};
};

}  // namespace corvid
