#include <gtest/gtest.h>

#include <QApplication>
#include <QTest>
#include <chrono>
#include <cmath>
#include <iostream>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "main_window/Form1.h"
#include "media_engine/clsDShowControl.h"
#include "player_control/QVRControl.h"
#include "support/Eventually.h"
#include "support/ManualClockWindowTest.h"
#include "support/ManualSoundOutput.h"
#include "support/TestMedia.h"
#include "support/ToneMeter.h"

namespace corvid {
namespace {

using test::ToneMeter;

// The sound server's own buffer that the devices play through: a stream on a real server
// holds about as much that a discard cannot take back.
constexpr double kServerSeconds = 0.1;
// How soon after a speed change the sound must play at the new speed.
constexpr double kSettle = 0.15;

// The window on a pair whose cameras carry a 440 Hz and a 1000 Hz tone, on the manual
// clock, with sound devices that take the sound at its pace, drive the shared clock and
// play through a sound server's buffer as a real stream does. Speed keys pressed while the
// pair plays: the sound of the camera heard must go on at every speed from 1/8x to 2x at
// its own pitch within kSettle of the change, and the pictures keep the speed's pace.
// (A speed change while playing on a shared clock and a device with a server's latency:
// the sound was dropped again and again from the change on, as the speed it was made for
// was only noted once the new tempo filter gave sound, which a filter that has taken a
// single piece of sound does not.)
class PairSoundSpeedsTest : public test::ManualClockWindowTest {
protected:
    void SetUp() override {
        graphs->soundDevices = true;
        graphs->soundServerSeconds = kServerSeconds;
        graphs->recordSound = true;
        copyPair("pair", test::TestMedia::soundCamera(1, 14), test::TestMedia::soundCamera(2, 14));
        showOnFolder(1);
    }

    // Moves the manual clock on in 10 ms steps, each once the device heard holds the sound
    // for it (no longer waited for once it gets none: sound dropped at a fast speed), and
    // lets the threads and the window see each step.
    void play(double seconds) {
        constexpr double kStep = 0.01;
        bool fed = true;
        for (double done = 0; done < seconds - 1e-9; done += kStep) {
            if (fed) fed = graphs->devices->waitUntilFed(kStep, 500);
            time->advance(kStep);
            QApplication::processEvents();
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
    }

    struct Span {
        double rate = 1;
        double from = 0;  // manual time of the key
        double to = 0;
        double moved = 0;  // media seconds camera 1 moved in it
    };

    // Presses the keys, then plays `seconds` at the speed they set.
    void atSpeed(std::initializer_list<Qt::Key> keys, double rate, double seconds) {
        ManualSoundOutput* heard = graphs->devices->playing();
        const int discarded = heard != nullptr ? heard->discards() : 0;
        const bool wasHeard = spans.empty() || spans.back().rate <= 2.0;
        for (Qt::Key key : keys) press(key);
        // Time moves on once the sound made for the old speed is dropped: a decoder that sees
        // the change late on a busy machine would leave the clock following that sound.
        if (keys.size() > 0 && heard != nullptr && wasHeard) {
            ASSERT_TRUE(test::eventually([&] { return heard->discards() > discarded; }, 5000))
                << "the sound made for the old speed was kept at " << rate << "x";
        }
        ASSERT_EQ(form->QVRControl1->engine()->DS_GetRate(), rate);
        ASSERT_EQ(form->QVRControl2->engine()->DS_GetRate(), rate);
        Span span;
        span.rate = rate;
        span.from = time->now();
        const double start = position(1);
        play(seconds);
        span.to = time->now();
        span.moved = position(1) - start;
        EXPECT_NEAR(position(1), position(2), 1e-9) << "at " << rate << "x";
        spans.push_back(span);
    }

    std::vector<Span> spans;
};

TEST_F(PairSoundSpeedsTest, speedKeysWhilePlaying_theSoundHeardGoesOnAtEverySpeedTo2x_atItsPitch) {
    clickLine("AB\tpair");
    // Both cameras show their first picture and the clock runs: the camera heard plays.
    ASSERT_TRUE(test::eventually(
        [&] {
            time->advance(0.01);
            return position(1) > 0.05 && graphs->devices->playing() != nullptr;
        },
        20000));
    ManualSoundOutput* heard = graphs->devices->playing();
    ASSERT_NE(heard, nullptr);

    atSpeed({}, 1.0, 1.0);
    atSpeed({Qt::Key_BracketRight}, 2.0, 1.0);
    atSpeed({Qt::Key_Backspace}, 1.0, 0.6);
    atSpeed({Qt::Key_BracketLeft}, 0.5, 1.0);
    atSpeed({Qt::Key_BracketLeft}, 0.25, 1.0);
    atSpeed({Qt::Key_BracketLeft}, 0.125, 1.0);
    atSpeed({Qt::Key_Backspace}, 1.0, 0.6);
    atSpeed({Qt::Key_BracketRight, Qt::Key_BracketRight}, 4.0, 0.6);
    atSpeed({Qt::Key_Backspace}, 1.0, 0.6);
    atSpeed({Qt::Key_BracketLeft, Qt::Key_BracketLeft, Qt::Key_BracketLeft}, 0.125, 0.6);
    atSpeed(
        {Qt::Key_BracketRight, Qt::Key_BracketRight, Qt::Key_BracketRight, Qt::Key_BracketRight},
        2.0, 0.6);
    ASSERT_FALSE(HasFatalFailure());
    ASSERT_EQ(graphs->devices->playing(), heard) << "the camera heard changed";

    const std::vector<float> samples = heard->recorded();
    const int sampleRate = heard->sampleRate();
    // The frame heard at a manual time.
    const auto frameAt = [&](double at) {
        const double frame = (at - kServerSeconds - heard->recordingStart()) * sampleRate;
        return std::min(samples.size() / 2, static_cast<std::size_t>(std::max(0.0, frame)));
    };
    const Span& normal = spans.front();
    const double level =
        ToneMeter::rms(samples, frameAt(normal.from + kSettle), frameAt(normal.to));
    ASSERT_GT(level, 0.01) << "nothing heard at 1x";
    std::ostringstream report;
    report << "[ heard    ]";
    for (const Span& span : spans) {
        SCOPED_TRACE(testing::Message() << span.rate << "x from " << span.from << " s");
        // The pictures keep the speed's pace, within the lean of the clock towards the sound.
        EXPECT_NEAR(span.moved, (span.to - span.from) * span.rate, 0.06 * span.rate + 0.02);
        const std::size_t from = frameAt(span.from + kSettle);
        const std::size_t to = frameAt(span.to);
        ASSERT_GT(to, from);
        // Continuous: every 10 ms of it within 3 dB of the level at 1x.
        const std::size_t block = sampleRate / 100;
        int quiet = 0;
        double first = -1;
        for (std::size_t at = from; at + block <= to; at += block) {
            if (ToneMeter::rms(samples, at, at + block) < level * 0.7) {
                ++quiet;
                if (first < 0) first = span.from + kSettle + double(at - from) / sampleRate;
            }
        }
        const std::vector<float> part(samples.begin() + from * 2, samples.begin() + to * 2);
        report << " " << span.rate
               << "x: " << 20 * std::log10(ToneMeter::rms(samples, from, to) / level + 1e-12)
               << " dB " << ToneMeter::frequency(part, 0, sampleRate) << " Hz " << quiet << "/"
               << (to - from) / block << " quiet, moved " << span.moved << " s;";
        if (span.rate > 2.0) {
            EXPECT_LT(ToneMeter::rms(samples, from, to), level * 0.01) << "sound above 2x";
            continue;
        }
        EXPECT_EQ(quiet, 0) << quiet << " of " << (to - from) / block
                            << " blocks of 10 ms quiet, the first at " << first << " s";
        EXPECT_NEAR(20 * std::log10(ToneMeter::rms(samples, from, to) / level), 0.0, 1.0);
        EXPECT_NEAR(ToneMeter::frequency(part, 0, sampleRate), 440.0, 440.0 * 0.02);
        EXPECT_NEAR(ToneMeter::frequency(part, 1, sampleRate), 440.0, 440.0 * 0.02);
    }
    std::cout << report.str() << "\n";
    EXPECT_EQ(messages.count(), 0);
}

}  // namespace
}  // namespace corvid
