#pragma once

#include <atomic>
#include <cstdint>

namespace corvid {

// Volume and balance as set through the graph, and the channel gains they give.
class AudioLevels {
public:
    // The end of the volume scale, and of the balance scale on either side: silence.
    static constexpr std::int32_t kSilence = -10000;

    // 1/100 dB, kSilence .. 0.
    void setVolume(std::int32_t volume) { volume_ = volume; }
    std::int32_t volume() const { return volume_; }
    // -10000 (right silent) .. 10000 (left silent): the opposite channel loses |b|/100 dB.
    void setBalance(std::int32_t balance) { balance_ = balance; }
    std::int32_t balance() const { return balance_; }

    // Amplitude factors for the left and right channel.
    double leftGain() const;
    double rightGain() const;

private:
    std::atomic<std::int32_t> volume_{0};
    std::atomic<std::int32_t> balance_{0};
};

}  // namespace corvid
