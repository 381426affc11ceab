#pragma once

#include <cstddef>
#include <vector>

namespace corvid::test {

// Measures the pitch of a steady tone in captured sound.
class ToneMeter {
public:
    // The frequency in Hz of the tone in one channel of interleaved stereo samples, from
    // `fromFrame` on: rising crossings of the middle, counted with a margin so that the
    // ripple of a lossy codec counts no extra cycle. 0 when there is no whole cycle.
    static double frequency(const std::vector<float>& samples, int channel, int sampleRate,
                            std::size_t fromFrame = 0);
    // The root mean square of interleaved stereo samples over frames [from, to); 0 for none.
    static double rms(const std::vector<float>& samples, std::size_t from, std::size_t to);
};

}  // namespace corvid::test
