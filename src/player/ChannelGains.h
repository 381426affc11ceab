#pragma once

#include <atomic>
#include <cstddef>

namespace corvid {

// The amplitude factors applied to the left and right channel as sound is played,
// shared between the thread that sets them and the one that plays.
class ChannelGains {
public:
    void set(float left, float right) {
        left_ = left;
        right_ = right;
    }
    float left() const { return left_.load(); }
    float right() const { return right_.load(); }
    // Scales interleaved stereo samples in place.
    void apply(float* samples, std::size_t frames) const {
        const float l = left();
        const float r = right();
        for (std::size_t i = 0; i < frames; ++i) {
            samples[2 * i] *= l;
            samples[2 * i + 1] *= r;
        }
    }

private:
    std::atomic<float> left_{1.0f};
    std::atomic<float> right_{1.0f};
};

}  // namespace corvid
