#include <gtest/gtest.h>

#include <QTest>
#include <QWidget>
#include <array>
#include <chrono>
#include <cmath>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <thread>

#include "media_engine/clsDShowControl.h"
#include "platform/graph/GraphFactory.h"
#include "player_control/QVRControl.h"
#include "recording_pair/RecordingPair.h"
#include "support/Eventually.h"
#include "support/ManualClockGraphFactory.h"
#include "support/MessageBoxRecorder.h"
#include "support/TestMedia.h"

namespace corvid {
namespace {

using test::MediaRecipe;
using test::TestMedia;

// Two files of one recording that differ as recorders' files do.
struct PairCase {
    const char* name;
    MediaRecipe camera1;
    std::optional<MediaRecipe> camera2;  // none: camera 1 alone
};

MediaRecipe recipe(double seconds, double fps, int gop, double start = 0, bool audio = true) {
    MediaRecipe r;
    r.width = 128;
    r.height = 96;
    r.seconds = seconds;
    r.fps = fps;
    r.gop = gop;
    r.startTime = start;
    r.audio = audio;
    r.picturesFromZero = audio;
    return r;
}

void PrintTo(const PairCase& pair, std::ostream* out) {
    *out << pair.name;
}

// The pair's actions on real graphs over the manual clock: after each, every camera shows
// its picture due at the pair's moment, so the two cameras are never more than a picture
// of the slower one apart, whatever their files' lengths, rates, key frames and starts.
class RecordingPairTest : public ::testing::TestWithParam<PairCase> {
protected:
    void SetUp() override {
        host.resize(640, 240);
        camera1 = new QVRControl(&host);
        camera2 = new QVRControl(&host);
        camera1->setGeometry(0, 0, 320, 240);
        camera2->setGeometry(320, 0, 320, 240);
        host.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&host));
        pair = std::make_unique<RecordingPair>(*camera1, *camera2);
        const PairCase& files = GetParam();
        pair->load(
            QString::fromStdString(TestMedia::make(files.camera1)),
            files.camera2 ? QString::fromStdString(TestMedia::make(*files.camera2)) : QString());
        ASSERT_TRUE(test::eventually([&] { return !pair->opening(); }, 30000));
        ASSERT_TRUE(pair->loaded(0) && pair->loaded(1) == files.camera2.has_value());
        settle();
    }

    void TearDown() override { pair.reset(); }

    void settle() {
        ASSERT_TRUE(test::eventually([&] { return pair->settled(); }, 30000))
            << "a camera never showed the picture it was placed at";
    }

    // Plays for `seconds` of the manual clock, then pauses.
    void play(double seconds) {
        pair->play();
        settle();
        for (double done = 0; done < seconds - 1e-9; done += 0.02) {
            factory->clock->advance(0.02);
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        pair->pause();
        settle();
    }

    // Whether `camera` shows its picture due at the pair's moment, or its nearest picture
    // when its file does not cover the moment; says why not in `why`.
    bool showsDuePicture(int camera, std::string& why) const {
        QVRControl& panel = pair->panel(camera);
        if (!pair->loaded(camera)) return true;
        double shown = 0;
        double interval = 0;
        if (!panel.ShownPicture(shown, interval)) return false;
        const double length = panel.engine()->DS_GetDuration();
        const double at = pair->position() - pair->offset(camera);
        const double slack = 0.002;
        why = "camera " + std::to_string(camera + 1) + " shows " + std::to_string(shown) + " at " +
              std::to_string(at) + " of its file";
        if (at < 0) return shown < interval;
        if (at > length - interval) return shown >= length - 2 * interval;
        return shown <= at + slack && shown + interval > at - slack;
    }

    // Both cameras show one moment: once paused, the pictures catch up with the clock.
    void expectSameMoment(const std::string& after) {
        settle();
        std::string why;
        const auto bothDue = [&] { return showsDuePicture(0, why) && showsDuePicture(1, why); };
        EXPECT_TRUE(test::eventually(bothDue, 10000)) << after << ": " << why;
    }

    std::shared_ptr<ManualClockGraphFactory> factory = std::make_shared<ManualClockGraphFactory>();
    GraphFactory::Scoped scope{factory};
    test::MessageBoxRecorder messages;
    QWidget host;
    QVRControl* camera1 = nullptr;
    QVRControl* camera2 = nullptr;
    std::unique_ptr<RecordingPair> pair;
};

TEST_P(RecordingPairTest, everyAction_leavesBothCamerasAtOneMoment_whenTheFilesDiffer) {
    expectSameMoment("load");
    for (float percentage : {50.0f, 90.0f, 10.0f}) {
        pair->seekToPercentage(percentage);
        expectSameMoment("bar at " + std::to_string(percentage));
        EXPECT_NEAR(pair->position(), pair->start() + pair->length() * percentage / 100, 0.002);
    }
    for (int step = 0; step < 12; ++step) {
        pair->step(1);
        expectSameMoment("step forward " + std::to_string(step));
    }
    for (int step = 0; step < 5; ++step) {
        pair->step(-1);
        expectSameMoment("step back " + std::to_string(step));
    }
    pair->seekBy(1.0);
    expectSameMoment("seek key");
    play(0.5);
    expectSameMoment("play and pause");
    pair->setSpeed(2.0);
    play(0.4);
    expectSameMoment("2x and pause");
    pair->setSpeed(1.0);
    // One camera at its end: the seek keys keep both on one moment.
    pair->seekToPercentage(100.0f);
    settle();
    pair->seekBy(-0.5);
    expectSameMoment("seek key after an end");
    EXPECT_NEAR(pair->position(), pair->end() - 0.5, 0.002);
}

TEST_P(RecordingPairTest, steps_neverRunOneCameraAhead_andComeBackToWhereTheyStarted) {
    pair->seekToPercentage(30.0f);
    settle();
    const double from = pair->position();
    double last = from;
    for (int step = 0; step < 8; ++step) {
        pair->step(1);
        settle();
        EXPECT_GT(pair->position(), last) << "step " << step << " went nowhere";
        // The next picture of the pair comes within a picture of the faster camera.
        EXPECT_LE(pair->position() - last, 1.0 / 25 + 0.002);
        last = pair->position();
    }
    for (int step = 0; step < 8; ++step) {
        pair->step(-1);
        settle();
    }
    EXPECT_LE(pair->position(), from + 0.002);
    EXPECT_GE(pair->position(), from - 1.0 / 25 - 0.002);
}

TEST_P(RecordingPairTest, clipSpans_runFromThePictureAtIToThePictureAtO_onOneZero) {
    pair->seekToPercentage(20.0f);
    settle();
    const RecordingPair::Mark in = pair->markNow();
    pair->seekToPercentage(60.0f);
    settle();
    const RecordingPair::Mark out = pair->markNow();
    QString problem;
    const auto spans = pair->spans(in, out, problem);
    ASSERT_TRUE(problem.isEmpty()) << problem.toStdString();
    for (int camera = 0; camera < 2; ++camera) {
        if (!spans[camera]) continue;
        double shown = 0;
        double interval = 0;
        pair->panel(camera).ShownPicture(shown, interval);
        // The picture on show at O is in the clip.
        EXPECT_GE(spans[camera]->end, shown) << "camera " << camera + 1;
        EXPECT_LT(spans[camera]->end, shown + interval) << "camera " << camera + 1;
        EXPECT_DOUBLE_EQ(spans[camera]->offset, pair->offset(camera));
    }
    EXPECT_FALSE(pair->spans(out, in, problem)[0]);
    EXPECT_FALSE(problem.isEmpty());
}

INSTANTIATE_TEST_SUITE_P(
    FilesThatDiffer, RecordingPairTest,
    ::testing::Values(PairCase{"lengths", recipe(6, 25, 25), recipe(4, 25, 25)},
                      PairCase{"pictureRates", recipe(4, 25, 25), recipe(4, 30, 30)},
                      PairCase{"keyFrames", recipe(5, 25, 50), recipe(5, 25, 35)},
                      PairCase{"startsAndSound", recipe(4, 25, 25, 0, true),
                               recipe(4, 30, 30, 1.2, false)},
                      PairCase{"cameraAlone", recipe(4, 25, 25), std::nullopt}),
    [](const auto& info) { return std::string(info.param.name); });

// The timeline itself, on the same files.
class RecordingPairTimelineTest : public RecordingPairTest {};

TEST_P(RecordingPairTimelineTest, timeline_spansFromTheEarliestStartToTheLatestEnd) {
    const double length1 = camera1->engine()->DS_GetDuration();
    const double length2 = camera2->engine()->DS_GetDuration();
    EXPECT_DOUBLE_EQ(pair->start(), std::min(pair->offset(0), pair->offset(1)));
    EXPECT_NEAR(pair->end(), std::max(pair->offset(0) + length1, pair->offset(1) + length2), 1e-9);
    EXPECT_NEAR(std::abs(pair->offset(1) - pair->offset(0)), GetParam().camera2->startTime, 0.01);
}

TEST_P(RecordingPairTimelineTest, nudge_movesCamera2OnePictureAgainstCamera1) {
    const double before = pair->offset(1) - pair->offset(0);
    pair->nudgeCamera2(1);
    double shown = 0;
    double interval = 0;
    camera2->ShownPicture(shown, interval);
    EXPECT_NEAR(pair->offset(1) - pair->offset(0), before + interval, 1e-9);
    expectSameMoment("nudge");
    pair->nudgeCamera2(-1);
    EXPECT_NEAR(pair->offset(1) - pair->offset(0), before, 1e-9);
}

TEST_P(RecordingPairTimelineTest, recorderClock_alignsByTheHeaderDates_andRefusesWithoutThem) {
    const bool dated = !GetParam().camera1.creationTime.empty();
    EXPECT_EQ(pair->alignByRecorderClock(), dated);
    if (dated) {
        // Camera 2 was started 2 s after camera 1 by the recorder's clock.
        EXPECT_NEAR(pair->offset(1) - pair->offset(0), 2.0, 0.01);
        EXPECT_FALSE(camera2->PicVid->hint().isEmpty());  // camera 2 has not begun yet
        pair->seekTo(2.5);
        expectSameMoment("aligned by the recorder's clock");
    } else {
        EXPECT_NEAR(pair->offset(1) - pair->offset(0), GetParam().camera2->startTime, 0.01);
    }
}

MediaRecipe dated(const char* created) {
    MediaRecipe r = recipe(4, 25, 25, 0, false);
    r.creationTime = created;
    return r;
}

INSTANTIATE_TEST_SUITE_P(
    Starts, RecordingPairTimelineTest,
    ::testing::Values(PairCase{"together", recipe(4, 25, 25), recipe(3, 25, 25)},
                      PairCase{"apart", recipe(4, 25, 25, 0, false), recipe(4, 25, 25, 0.8, false)},
                      PairCase{"dated", dated("2021-06-15T10:20:30.000Z"),
                               dated("2021-06-15T10:20:32.000Z")}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace corvid
