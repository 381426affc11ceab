#include "player/AudioLevels.h"

#include <cmath>

namespace corvid {

namespace {

// Attenuation in 1/100 dB to an amplitude factor; the end of the scale is silence.
double gainOf(std::int32_t attenuation) {
    if (attenuation <= AudioLevels::kSilence) return 0.0;
    return std::pow(10.0, attenuation / 2000.0);
}

}  // namespace

double AudioLevels::leftGain() const {
    const std::int32_t b = balance_.load();
    return gainOf(volume_.load()) * (b > 0 ? gainOf(-b) : 1.0);
}

double AudioLevels::rightGain() const {
    const std::int32_t b = balance_.load();
    return gainOf(volume_.load()) * (b < 0 ? gainOf(b) : 1.0);
}

}  // namespace corvid
