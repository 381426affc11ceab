#pragma once

#include <condition_variable>
#include <memory>
#include <mutex>

#include "player/IAudioOutput.h"
#include "support/ManualClock.h"
#include "support/ManualSoundDevices.h"

namespace corvid {

// A sound device for tests on the manual clock. While playing it takes the sound written
// at the pace of the clock, and reports what it holds not yet heard, so that it drives
// the playback clock as a real device does. It can start late, stall, and hold the
// thread that asks for its latency (to stop a sound thread at a chosen moment).
class ManualSoundOutput : public IAudioOutput {
public:
    // Listed in `devices` while it lives, when given.
    ManualSoundOutput(int sampleRate, std::shared_ptr<ManualClock> clock,
                      double bufferSeconds = 0.2,
                      std::shared_ptr<ManualSoundDevices> devices = nullptr);
    ~ManualSoundOutput() override;

    int sampleRate() const override { return sampleRate_; }
    std::size_t writable() override;
    void write(const float* samples, std::size_t frames) override;
    void setPlaying(bool playing) override;
    void discard() override;
    void setGains(float left, float right) override;
    double latency() override;
    double played() override { return heardSeconds(); }
    bool drivesClock() const override { return true; }

    // Takes nothing before the clock reads `seconds` (a device slow to start).
    void startAt(double seconds);
    // Takes nothing while stalled (a server that stopped taking the stream's sound).
    void setStalled(bool stalled);

    // The next latency() waits inside until unblock(); waitUntilBlocked() returns once a
    // thread waits there (false after `ms` without one).
    void blockNextLatency();
    bool waitUntilBlocked(int ms = 5000);
    void unblock();

    bool playing() const;
    // Whether it takes sound now: playing, started and not stalled.
    bool takesSound() const;
    // Seconds written and not heard yet.
    double unheardSeconds();
    // Seconds of sound written, and of sound heard, since the output was made.
    double writtenSeconds() const;
    double heardSeconds();
    float leftGain() const;

private:
    void consumeLocked();

    const int sampleRate_;
    const std::shared_ptr<ManualClock> clock_;
    const double capacity_;
    const std::shared_ptr<ManualSoundDevices> devices_;
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    double buffered_ = 0;
    double last_ = 0;
    double startAt_ = 0;
    double written_ = 0;
    double heard_ = 0;
    float left_ = 1;
    bool playing_ = false;
    bool stalled_ = false;
    bool blockArmed_ = false;
    bool blocked_ = false;
};

}  // namespace corvid
