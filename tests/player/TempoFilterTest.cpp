#include "player/TempoFilter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <vector>

#include "support/ToneMeter.h"

namespace corvid {
namespace {

using test::ToneMeter;

constexpr int kRate = 44100;

// Seconds of a 440 Hz tone, interleaved stereo.
std::vector<float> tone(double seconds) {
    const auto frames = static_cast<std::size_t>(seconds * kRate);
    std::vector<float> samples(frames * 2);
    for (std::size_t i = 0; i < frames; ++i) {
        const float v =
            0.5f * static_cast<float>(std::sin(2 * std::numbers::pi * 440.0 * i / kRate));
        samples[i * 2] = v;
        samples[i * 2 + 1] = v;
    }
    return samples;
}

// Feeds the sound in pieces of a decoder's size and collects everything that comes out.
std::vector<float> filtered(TempoFilter& filter, const std::vector<float>& input) {
    std::vector<float> out;
    constexpr std::size_t kPiece = 2048;
    for (std::size_t at = 0; at < input.size() / 2; at += kPiece) {
        const std::size_t frames = std::min(kPiece, input.size() / 2 - at);
        EXPECT_TRUE(filter.push(input.data() + at * 2, frames));
        filter.pull(out);
    }
    filter.finish();
    filter.pull(out);
    return out;
}

class TempoFilterTest : public ::testing::Test {};

TEST_F(TempoFilterTest, pull_keepsThePitch_andScalesTheLength_fromAnEighthToTwiceTheSpeed) {
    const std::vector<float> input = tone(4.0);
    for (const double tempo : {2.0, 1.5, 0.5, 0.3, 0.125}) {
        TempoFilter filter(kRate, tempo);
        const std::vector<float> out = filtered(filter, input);
        const double seconds = out.size() / 2.0 / kRate;
        EXPECT_NEAR(seconds, 4.0 / tempo, 0.02 * 4.0 / tempo) << tempo;
        // Past the filter's first window, the tone is where it was.
        EXPECT_NEAR(ToneMeter::frequency(out, 0, kRate, kRate / 4), 440.0, 440.0 * 0.02) << tempo;
        EXPECT_NEAR(ToneMeter::frequency(out, 1, kRate, kRate / 4), 440.0, 440.0 * 0.02) << tempo;
        // At the end the filter drops at most a part of its last window.
        EXPECT_NEAR(filter.heldSeconds(), 0.0, 0.03) << tempo;
    }
}

TEST_F(TempoFilterTest, heldSeconds_countsWhatIsInside_andStaysBounded_untilFinished) {
    TempoFilter filter(kRate, 2.0);
    const std::vector<float> input = tone(0.5);
    ASSERT_TRUE(filter.push(input.data(), input.size() / 2));
    std::vector<float> out;
    filter.pull(out);
    const double given = out.size() / 2.0 * 2.0 / kRate;
    EXPECT_NEAR(filter.heldSeconds(), 0.5 - given, 1e-9);
    EXPECT_GT(filter.heldSeconds(), 0.0);
    filter.finish();
    filter.pull(out);
    EXPECT_NEAR(filter.heldSeconds(), 0.0, 0.03);
    EXPECT_FALSE(filter.push(input.data(), 16));  // nothing is taken after the end

    // The clock is told what is heard from this: over a long play it must not drift.
    TempoFilter slow(kRate, 0.3);
    const std::vector<float> minute = tone(60.0);
    double most = 0;
    for (std::size_t at = 0; at < minute.size() / 2; at += 4096) {
        ASSERT_TRUE(
            slow.push(minute.data() + at * 2, std::min<std::size_t>(4096, minute.size() / 2 - at)));
        out.clear();
        slow.pull(out);
        most = std::max(most, slow.heldSeconds());
    }
    EXPECT_LT(most, 0.25);
}

}  // namespace
}  // namespace corvid
