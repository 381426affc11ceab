#include "support/ToneMeter.h"

#include <algorithm>
#include <cmath>

namespace corvid::test {

double ToneMeter::frequency(const std::vector<float>& samples, int channel, int sampleRate,
                            std::size_t fromFrame) {
    const std::size_t frames = samples.size() / 2;
    if (fromFrame >= frames) return 0;
    float peak = 0;
    for (std::size_t i = fromFrame; i < frames; ++i) {
        peak = std::max(peak, std::abs(samples[i * 2 + channel]));
    }
    const float margin = peak * 0.25f;
    if (margin <= 0) return 0;

    bool low = false;
    std::size_t first = 0;
    std::size_t last = 0;
    int rises = 0;
    for (std::size_t i = fromFrame; i < frames; ++i) {
        const float v = samples[i * 2 + channel];
        if (v < -margin) {
            low = true;
        } else if (low && v > margin) {
            low = false;
            if (rises == 0) first = i;
            last = i;
            ++rises;
        }
    }
    if (rises < 2) return 0;
    return (rises - 1) * static_cast<double>(sampleRate) / static_cast<double>(last - first);
}

double ToneMeter::rms(const std::vector<float>& samples, std::size_t from, std::size_t to) {
    double sum = 0;
    for (std::size_t i = from * 2; i < to * 2; ++i) sum += double(samples[i]) * samples[i];
    return to > from ? std::sqrt(sum / double((to - from) * 2)) : 0.0;
}

}  // namespace corvid::test
