#pragma once

#include <cstddef>

namespace corvid {

// Where decoded sound goes: interleaved stereo float samples at sampleRate().
class IAudioOutput {
public:
    static constexpr int kChannels = 2;

    virtual ~IAudioOutput() = default;

    virtual int sampleRate() const = 0;
    // Sample frames that can be written now without waiting.
    virtual std::size_t writable() = 0;
    virtual void write(const float* samples, std::size_t frames) = 0;
    // Paused output holds what it has and consumes nothing.
    virtual void setPlaying(bool playing) = 0;
    // Forgets what was written and not yet heard (a seek).
    virtual void discard() = 0;
    // Volume and balance as amplitude factors, applied to the sound as it is played so
    // that a change is heard at once, also on sound written before it. Outputs that
    // play nothing may ignore them.
    virtual void setGains(float /*left*/, float /*right*/) {}
    // Seconds of written sound not yet heard.
    virtual double latency() = 0;
    // Seconds of sound the device has played since it was made, silence included: it
    // moves only while the device takes sound.
    virtual double played() = 0;
    // Whether the output consumes at the pace of a real device, so that the sound it
    // reports as heard may drive the playback clock.
    virtual bool drivesClock() const = 0;
    // Whether the device stopped working for good (it was unplugged, its server went).
    virtual bool failed() const { return false; }
};

}  // namespace corvid
