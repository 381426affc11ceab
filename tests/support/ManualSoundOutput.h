#pragma once

#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <vector>

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
    double played() override;
    bool drivesClock() const override { return true; }

    // Takes nothing before the clock reads `seconds` (a device slow to start).
    void startAt(double seconds);
    // Takes nothing while stalled (a server that stopped taking the stream's sound).
    void setStalled(bool stalled);
    // Plays as through a sound server: what the device takes is heard `seconds` later, out
    // of a buffer of the server's own that discard() cannot reach and that is kept full,
    // with silence when the stream runs dry. Once it has played, latency() never falls
    // below `seconds`, and played() moves with the silence too, as a real device's does.
    void throughServer(double seconds);
    // Keeps what the device takes from now on, sound and silence, one stereo frame per
    // 1/sampleRate() of the manual clock: frame i is taken at recordingStart() + i /
    // sampleRate() and heard `seconds` of throughServer() later.
    void record();
    std::vector<float> recorded() const;
    double recordingStart() const;

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
    // How often the sound not yet taken was dropped.
    int discards() const;

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
    int discards_ = 0;
    bool blockArmed_ = false;
    bool blocked_ = false;
    double server_ = 0;
    double played_ = 0;  // device seconds, silence included
    bool recording_ = false;
    double recordingStart_ = 0;
    std::deque<float> pending_;  // the samples written and not taken, while recording
    std::vector<float> recorded_;
};

}  // namespace corvid
