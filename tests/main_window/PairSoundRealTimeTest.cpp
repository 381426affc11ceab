#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QProcess>
#include <QTest>
#include <algorithm>
#include <cmath>
#include <cstring>
#include <iostream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "main_window/Form1.h"
#include "media_engine/clsDShowControl.h"
#include "platform/widgets/ScrollBar.h"
#include "player_control/QVRControl.h"
#include "player_output/QtAudioOutput.h"
#include "support/Eventually.h"
#include "support/MessageBoxRecorder.h"
#include "support/TestMedia.h"
#include "support/ToneMeter.h"
#include "support/WindowTest.h"
#include "util/Failure.h"

namespace corvid {
namespace {

using test::ToneMeter;

constexpr int kRecordRate = 44100;
// The sound must play at the new speed this soon after the key.
constexpr int kSettleMs = 150;
// How long each speed is recorded.
constexpr int kListenMs = 1000;

// The level of most of the sound: the middle one of its levels over 20 ms, which a dropout
// of the device does not move.
double typicalRms(const std::vector<float>& samples, std::size_t from, std::size_t to) {
    std::vector<double> levels;
    const std::size_t block = kRecordRate / 50;
    for (std::size_t at = from; at + block <= to; at += block)
        levels.push_back(ToneMeter::rms(samples, at, at + block));
    if (levels.empty()) return 0.0;
    std::nth_element(levels.begin(), levels.begin() + levels.size() / 2, levels.end());
    return levels[levels.size() / 2];
}

double decibels(double value) {
    return 20.0 * std::log10(std::max(value, 1e-12));
}

// The window on a pair on the shared clock, both cameras with sound (camera 1 a 440 Hz
// tone, camera 2 1000 Hz), played on the sound server the test script provides (a null
// sink), whose monitor is recorded. The speed keys are pressed while the pair plays; at
// each speed the sound recorded from kSettleMs after the key on must be the tone of the
// camera heard, at its pitch (within 2%), continuous and within 10 dB of the level at 1x;
// above 2x it is silent. The pictures keep the speed's pace meanwhile.
class PairSoundRealTimeTest : public test::WindowTest {
protected:
    void SetUp() override {
        try {
            QtAudioOutput probe;
        } catch (const Failure&) {
            GTEST_SKIP() << "no audio device";
        }
        QObject::connect(&recorder, &QProcess::readyReadStandardOutput, [&] {
            raw += recorder.readAllStandardOutput();
            // The recording's time: the monitor records as the device plays, so the data
            // that comes in least late tells when the recording began.
            const double seconds = static_cast<double>(recordedFrames()) / kRecordRate;
            began = std::min(began, now() - seconds);
        });
        wall.start();
        recorder.start("parec", {"--raw", "--format=float32le", "--channels=2",
                                 "--rate=" + QString::number(kRecordRate), "--latency-msec=20",
                                 "-d", "@DEFAULT_MONITOR@"});
        if (!recorder.waitForStarted(3000)) GTEST_SKIP() << "cannot record the device";
        if (!test::eventually([&] { return !raw.isEmpty(); }, 5000))
            GTEST_SKIP() << "the monitor is mute";
        copyPair("pair", test::TestMedia::soundCamera(1, 30), test::TestMedia::soundCamera(2, 30));
        showOnFolder(1);
    }

    void TearDown() override {
        test::WindowTest::TearDown();
        if (recorder.state() != QProcess::NotRunning) {
            recorder.terminate();
            recorder.waitForFinished(3000);
        }
    }

    std::size_t recordedFrames() const {
        return static_cast<std::size_t>(raw.size()) / (2 * sizeof(float));
    }

    double now() const { return wall.nsecsElapsed() / 1e9; }

    // The frame of the recording that the device played at a time of `wall`.
    std::size_t frameAt(double seconds) const {
        return static_cast<std::size_t>(std::max(0.0, (seconds - began) * kRecordRate));
    }

    struct Heard {
        double rate = 1;
        double start = 0;  // times of `wall`
        double end = 0;
        std::size_t from = 0;  // frames of the recording, once it has ended
        std::size_t to = 0;
        double seconds = 0;  // wall time of the recording
        double moved = 0;    // media seconds camera 1 moved meanwhile
    };

    // Records the monitor for `ms` from now.
    Heard listen(int ms) {
        Heard heard;
        heard.rate = form->QVRControl1->engine()->DS_GetRate();
        heard.start = now();
        const double start = position(1);
        QTest::qWait(ms);
        heard.end = now();
        heard.moved = position(1) - start;
        heard.seconds = heard.end - heard.start;
        return heard;
    }

    // Presses the keys and records the monitor from kSettleMs after them for kListenMs.
    void atSpeed(std::initializer_list<Qt::Key> keys, double rate) {
        const double pressed = now();
        for (Qt::Key key : keys) press(key);
        ASSERT_EQ(form->QVRControl1->engine()->DS_GetRate(), rate);
        QTest::qWait(kSettleMs);
        Heard heard = listen(kListenMs);
        // From kSettleMs after the key as the device played it, however late the
        // recording came in or the wait ended.
        heard.start = pressed + kSettleMs / 1000.0;
        spans.push_back(heard);
    }

    // Ends the recording and places the spans in it.
    std::vector<float> stopRecording(std::vector<Heard>& heard) {
        QTest::qWait(300);  // what was played last comes in
        recorder.terminate();
        recorder.waitForFinished(3000);
        for (Heard& span : heard) {
            span.from = frameAt(span.start);
            span.to = frameAt(span.end);
        }
        return samples();
    }

    std::vector<float> samples() const {
        std::vector<float> result(static_cast<std::size_t>(raw.size()) / sizeof(float));
        std::memcpy(result.data(), raw.constData(), result.size() * sizeof(float));
        return result;
    }

    QProcess recorder;
    QByteArray raw;
    QElapsedTimer wall;
    double began = 1e9;  // the time of `wall` the recording began, at the latest
    std::vector<Heard> spans;
    test::MessageBoxRecorder messages;
};

TEST_F(PairSoundRealTimeTest, speedKeysWhilePlaying_theCameraHeardPlaysAtItsPitch_from8thTo2x) {
    clickLine("AB\tpair");
    // The sound server may start a stream late; the clock waits for it, at most 2.5 s.
    ASSERT_TRUE(test::eventually([&] { return position(1) > 1.0; }, 8000));

    atSpeed({}, 1.0);
    atSpeed({Qt::Key_BracketRight}, 2.0);
    atSpeed({Qt::Key_Backspace}, 1.0);
    atSpeed({Qt::Key_BracketLeft}, 0.5);
    atSpeed({Qt::Key_BracketLeft}, 0.25);
    atSpeed({Qt::Key_BracketLeft}, 0.125);
    atSpeed({Qt::Key_Backspace}, 1.0);
    atSpeed({Qt::Key_BracketRight, Qt::Key_BracketRight}, 4.0);
    atSpeed({Qt::Key_Backspace}, 1.0);
    ASSERT_FALSE(HasFatalFailure());
    const std::vector<float> samples = stopRecording(spans);
    form.reset();
    const Heard& normal = spans.front();
    const double level = ToneMeter::rms(samples, normal.from, normal.to);
    std::ostringstream report;
    report << "[ heard    ]";
    for (const Heard& span : spans) {
        SCOPED_TRACE(testing::Message() << span.rate << "x");
        ASSERT_LE(span.to, samples.size() / 2);
        ASSERT_GT(span.to, span.from + kRecordRate / 2) << "the recording fell behind";
        const double relative =
            decibels(ToneMeter::rms(samples, span.from, span.to)) - decibels(level);
        // The pitch of each 100 ms, its median: a busy machine may let the device run dry
        // for a moment, which breaks a cycle without changing the tone.
        const auto pitchOf = [&](int channel) {
            std::vector<double> found;
            const std::size_t window = kRecordRate / 10;
            for (std::size_t at = span.from; at + window <= span.to; at += window) {
                const std::vector<float> piece(samples.begin() + at * 2,
                                               samples.begin() + (at + window) * 2);
                if (decibels(ToneMeter::rms(samples, at, at + window)) < decibels(level) - 10)
                    continue;
                found.push_back(ToneMeter::frequency(piece, channel, kRecordRate));
            }
            if (found.empty()) return 0.0;
            std::nth_element(found.begin(), found.begin() + found.size() / 2, found.end());
            return found[found.size() / 2];
        };
        const double pitch = pitchOf(0);
        // Continuous: no 20 ms of it 10 dB below the level at 1x.
        const std::size_t block = kRecordRate / 50;
        int quiet = 0;
        std::ostringstream where;
        for (std::size_t at = span.from; at + block <= span.to; at += block) {
            if (decibels(ToneMeter::rms(samples, at, at + block)) < decibels(level) - 10) {
                ++quiet;
                where << " " << (at - span.from) * 1000 / kRecordRate;
            }
        }
        report << " " << span.rate << "x: " << decibels(ToneMeter::rms(samples, span.from, span.to))
               << " dBFS " << pitch << " Hz " << quiet << " quiet";
        if (quiet > 0 && span.rate <= 2.0) report << " (at ms" << where.str() << ")";
        report << ";";
        // The pictures keep the speed's pace.
        EXPECT_NEAR(span.moved / span.seconds, span.rate, 0.15 * span.rate);
        if (span.rate > 2.0) {
            EXPECT_LT(relative, -40.0) << "sound above 2x";
            continue;
        }
        EXPECT_NEAR(relative, 0.0, 10.0);
        // Continuous: a moment's gap on a loaded machine is allowed, silence is not (the
        // manual-clock test checks every 10 ms block).
        const std::size_t blocks = (span.to - span.from) / block;
        EXPECT_LE(static_cast<std::size_t>(quiet) * 10, blocks)
            << "of " << blocks << " blocks of 20 ms";
        EXPECT_NEAR(pitch, 440.0, 440.0 * 0.02);
        EXPECT_NEAR(pitchOf(1), 440.0, 440.0 * 0.02);
    }
    std::cout << report.str() << "\n";
    EXPECT_GT(decibels(level), -80.0) << "nothing heard at 1x";
    EXPECT_EQ(messages.count(), 0);
}

// The volume law on the device: the slider's value v (0..100) plays at v - 100 dB
// (1/100 dB units, amplitude 10^(volume/2000)), applied once: at 100 the monitor carries
// the file's own level, whatever the speed, and nothing on the way (tempo filter, channel
// gains, sound server) takes off more.
TEST_F(PairSoundRealTimeTest, volumeSlider_attenuatesOnce_byItsValueLess100dB_atEverySpeed) {
    clickLine("AB\tpair");
    ASSERT_TRUE(test::eventually([&] { return position(1) > 1.0; }, 8000));
    // The tone is made at 1/8 of full scale and each channel of the stereo file gets it
    // 3 dB down: -24.1 dBFS.
    const double file = decibels(0.125 / std::sqrt(2.0) / std::sqrt(2.0));
    std::vector<std::pair<int, Heard>> heard;
    for (const int value : {100, 75, 50}) {
        form->hsVol->SetValue(value);
        QTest::qWait(kSettleMs + 100);
        heard.emplace_back(value, listen(500));
    }
    press(Qt::Key_BracketLeft);
    QTest::qWait(kSettleMs + 100);
    heard.emplace_back(50, listen(500));
    press(Qt::Key_BracketRight);
    press(Qt::Key_BracketRight);
    form->hsVol->SetValue(100);
    QTest::qWait(kSettleMs + 100);
    heard.emplace_back(100, listen(500));
    std::vector<Heard> spans;
    for (const auto& entry : heard) spans.push_back(entry.second);
    const std::vector<float> samples = stopRecording(spans);
    for (std::size_t i = 0; i < heard.size(); ++i) heard[i].second = spans[i];
    form.reset();
    std::ostringstream report;
    report << "[ levels   ] file " << file << " dBFS;";
    for (const auto& [value, span] : heard) {
        ASSERT_LE(span.to, samples.size() / 2);
        const double level = decibels(typicalRms(samples, span.from, span.to));
        report << " slider " << value << " at " << span.rate << "x: " << level << " dBFS;";
        EXPECT_NEAR(level, file + value - 100, 0.5)
            << "slider " << value << " at " << span.rate << "x";
    }
    std::cout << report.str() << "\n";
    EXPECT_EQ(messages.count(), 0);
}

}  // namespace
}  // namespace corvid
