#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "util/Failure.h"
#include "util/Numeric.h"

namespace corvid {
namespace {

TEST(NumericTest, roundHalfEven_goesToEvenNeighbour_whenExactlyHalf) {
    EXPECT_EQ(roundHalfEven(2.5), 2.0);
    EXPECT_EQ(roundHalfEven(3.5), 4.0);
    EXPECT_EQ(roundHalfEven(-2.5), -2.0);
    EXPECT_EQ(roundHalfEven(-3.5), -4.0);
    EXPECT_EQ(roundHalfEven(66.5), 66.0);
    EXPECT_EQ(roundHalfEven(99.5), 100.0);
    EXPECT_EQ(roundHalfEven(98.5), 98.0);
}

TEST(NumericTest, roundHalfEven_roundsToNearest_whenNotHalf) {
    EXPECT_EQ(roundHalfEven(533.33), 533.0);
    EXPECT_EQ(roundHalfEven(266.67), 267.0);
    EXPECT_EQ(roundHalfEven(-0.4), -0.0);
    EXPECT_EQ(roundHalfEven(-0.6), -1.0);
}

TEST(NumericTest, toInt16_throwsOverflow_whenOutOfRangeOrNaN) {
    EXPECT_EQ(toInt16(32767.4), 32767);
    EXPECT_EQ(toInt16(-32768.0), -32768);
    EXPECT_THROW(toInt16(32767.6), Failure);
    EXPECT_THROW(toInt16(-32769.0), Failure);
    EXPECT_THROW(toInt16(std::nan("")), Failure);
    try {
        toInt16(40000.0);
        FAIL();
    } catch (const Failure& failure) {
        EXPECT_EQ(failure.code(), Failure::Overflow);
    }
}

TEST(NumericTest, toInt32_throwsOverflow_whenOutOfRange) {
    EXPECT_EQ(toInt32(2147483647.0), 2147483647);
    EXPECT_EQ(toInt32(10.5), 10);
    EXPECT_EQ(toInt32(11.5), 12);
    EXPECT_THROW(toInt32(2147483647.6), Failure);
    EXPECT_THROW(toInt32(std::numeric_limits<double>::infinity()), Failure);
}

TEST(NumericTest, twipsToPixels_gives15TwipsPerPixel_at96Dpi) {
    EXPECT_DOUBLE_EQ(twipsToPixels(15.0, 96.0), 1.0);
    EXPECT_DOUBLE_EQ(twipsToPixels(10740.0, 96.0), 716.0);
    EXPECT_DOUBLE_EQ(pixelsToTwips(716.0, 96.0), 10740.0);
}

// Half a pixel goes to the even neighbour, so that the main window and the panels, which
// share this conversion, put an edge on the same pixel.
TEST(NumericTest, twipsToWholePixels_roundsHalvesToEven_andThrowsOverflow) {
    EXPECT_EQ(twipsToWholePixels(7.5, 96.0), 0);
    EXPECT_EQ(twipsToWholePixels(22.5, 96.0), 2);
    EXPECT_EQ(twipsToWholePixels(37.5, 96.0), 2);
    EXPECT_EQ(twipsToWholePixels(-7.5, 96.0), 0);
    EXPECT_EQ(twipsToWholePixels(7.6, 96.0), 1);
    EXPECT_EQ(twipsToWholePixels(10740, 144.0), 1074);
    EXPECT_THROW(twipsToWholePixels(1e12, 96.0), Failure);
}

}  // namespace
}  // namespace corvid
