#include "util/Numeric.h"

#include <cmath>
#include <limits>
#include <string>

#include "util/Failure.h"

namespace corvid {

namespace {

template <typename Int>
Int narrowRounded(double value) {
    const double rounded = roundHalfEven(value);
    if (std::isnan(rounded) || rounded < static_cast<double>(std::numeric_limits<Int>::min()) ||
        rounded > static_cast<double>(std::numeric_limits<Int>::max())) {
        throw Failure(Failure::Overflow, "Overflow converting " + std::to_string(value) + " to a " +
                                             std::to_string(8 * sizeof(Int)) + "-bit integer");
    }
    return static_cast<Int>(rounded);
}

}  // namespace

double roundHalfEven(double value) {
    if (!std::isfinite(value)) return value;
    const double floor = std::floor(value);
    const double fraction = value - floor;
    if (fraction < 0.5) return floor;
    if (fraction > 0.5) return floor + 1.0;
    return std::fmod(floor, 2.0) == 0.0 ? floor : floor + 1.0;
}

std::int16_t toInt16(double value) {
    return narrowRounded<std::int16_t>(value);
}

std::int32_t toInt32(double value) {
    return narrowRounded<std::int32_t>(value);
}

std::int16_t narrowToInt16(std::int64_t value) {
    if (value < std::numeric_limits<std::int16_t>::min() ||
        value > std::numeric_limits<std::int16_t>::max()) {
        throw Failure(Failure::Overflow,
                      "Overflow narrowing " + std::to_string(value) + " to a 16-bit integer");
    }
    return static_cast<std::int16_t>(value);
}

double twipsToPixels(double twips, double dpi) {
    return twips * dpi / 1440.0;
}

double pixelsToTwips(double pixels, double dpi) {
    return pixels * 1440.0 / dpi;
}

std::int32_t twipsToWholePixels(double twips, double dpi) {
    return toInt32(twipsToPixels(twips, dpi));
}

}  // namespace corvid
