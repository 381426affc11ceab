#pragma once

#include <cstdint>

namespace corvid {

// Rounds to the nearest integer, halves to the even neighbour (2.5 -> 2, 3.5 -> 4).
// NaN stays NaN and infinities stay infinite; the narrowing helpers reject them.
double roundHalfEven(double value);

// Real-to-integer conversions that round half to even and throw
// Failure(Overflow) when the result does not fit (NaN included).
std::int16_t toInt16(double value);
std::int32_t toInt32(double value);

// Integer narrowing with the same overflow rule.
std::int16_t narrowToInt16(std::int64_t value);

// Twips (1/1440 inch) and pixels at a given logical DPI; 15 twips per pixel at 96 DPI.
double twipsToPixels(double twips, double dpi);
double pixelsToTwips(double pixels, double dpi);
// Twips as whole pixels, the one conversion the windows are laid out with: rounded as toInt32
// rounds (halves to even), Failure(Overflow) when the result does not fit.
std::int32_t twipsToWholePixels(double twips, double dpi);

}  // namespace corvid
