#include <gtest/gtest.h>

#include <QAction>
#include <QElapsedTimer>
#include <QFile>
#include <QListWidget>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>
#include <cstdlib>
#include <memory>
#include <string>

#include "main_window/Form1.h"
#include "media_engine/clsDShowControl.h"
#include "platform/file_views/FolderList.h"
#include "player_control/QVRControl.h"
#include "support/Eventually.h"
#include "support/MessageBoxRecorder.h"
#include "support/TestMedia.h"
#include "support/WindowTest.h"

namespace corvid {
namespace {

// The picture numbers the two panels show, read back from their pixels; -1 for none.
struct Shown {
    int camera1 = -1;
    int camera2 = -1;
    bool readable() const { return camera1 >= 0 && camera2 >= 0; }
};

// The whole window on real graphs and the real clock, over a pair of generated recordings
// on one time base (equal length, picture rate and picture times) whose every picture
// shows its number. Camera 1 has sound; camera 2 has sound or not (the parameter). After
// each thing a reviewer does both panels must show the same picture: while playing,
// allowing for a picture that changes between reading one panel and the other, and
// exactly once paused.
class LockstepRealTimeTest : public test::WindowTest, public ::testing::WithParamInterface<bool> {
protected:
    void SetUp() override {
        ASSERT_TRUE(folder.isValid());
        copyPair("pair", camera(1, true), camera(2, GetParam()));
        showOnFolder(1);
    }

    static std::string camera(int number, bool sound) {
        test::MediaRecipe recipe;
        recipe.seconds = 20;
        recipe.gop = 25;
        recipe.audio = sound;
        recipe.colour = number == 1 ? 0xC03030 : 0x3050D0;
        recipe.toneHz = number == 1 ? 440 : 880;
        recipe.picturesFromZero = true;
        return test::TestMedia::make(recipe);
    }

    void pressBar(double share) {
        const int y = form->P1->height() / 2;
        const QPoint at(static_cast<int>(form->P1->width() * share), y);
        QTest::mousePress(form->P1, Qt::LeftButton, {}, at);
        QTest::mouseRelease(form->P1, Qt::LeftButton, {}, at);
    }

    Shown shown() { return {frame(1), frame(2)}; }

    // Both panels' pictures move on, once the pictures of the last action are shown.
    bool moving() {
        QTest::qWait(300);
        const Shown from = shown();
        return test::eventually(
            [&] {
                const Shown now = shown();
                return now.readable() && now.camera1 > from.camera1 && now.camera2 > from.camera2;
            },
            8000);
    }

    // Both panels play and show one picture: sampled for a second, mostly alike (a busy
    // machine may hold back one panel's drawing for a moment, though their clock is one);
    // then paused, exactly; then playing again. Camera 1 is read before and after camera 2,
    // so that a picture change while reading (slow under the sanitizers) is no difference.
    void expectInStep(const char* after) {
        SCOPED_TRACE(after);
        ASSERT_TRUE(moving()) << "a panel does not play: pictures " << shown().camera1 << ", "
                              << shown().camera2 << " at "
                              << form->QVRControl1->engine()->DS_GetPosition() << ", "
                              << form->QVRControl2->engine()->DS_GetPosition() << " s";
        int samples = 0;
        int same = 0;
        int worst = 0;
        QElapsedTimer wall;
        wall.start();
        while (wall.elapsed() < 1000) {
            const int before = frame(1);
            const int second = frame(2);
            const int after = frame(1);
            if (before >= 0 && second >= 0 && after >= 0) {
                ++samples;
                const int apart = std::max({0, before - second, second - after});
                same += apart == 0 ? 1 : 0;
                worst = std::max(worst, apart);
            }
            QTest::qWait(30);
        }
        ASSERT_GT(samples, 5);
        EXPECT_GE(same * 2, samples)
            << same << " of " << samples << " samples alike while playing; at worst " << worst
            << " pictures apart";

        press(Qt::Key_Space);
        ASSERT_EQ(form->mnuPlay->text(), "Play");
        expectInStepWhilePaused("paused");
        press(Qt::Key_Space);
        ASSERT_EQ(form->mnuPlay->text(), "Pause");
    }

    void expectInStepWhilePaused(const char* after) {
        SCOPED_TRACE(after);
        QTest::qWait(300);
        const Shown now = shown();
        EXPECT_TRUE(now.readable());
        EXPECT_EQ(now.camera1, now.camera2) << "pictures apart while paused";
    }

    test::MessageBoxRecorder messages;
};

TEST_P(LockstepRealTimeTest, everyActionOfAReviewer_leavesBothPanelsOnOnePicture) {
    clickLine("AB\tpair");
    expectInStep("load");

    pressBar(0.3);
    expectInStep("bar press at 30%");

    press(Qt::Key_Right);
    expectInStep("5 s forward");
    press(Qt::Key_Left);
    press(Qt::Key_Left);
    expectInStep("10 s back");

    press(Qt::Key_Period);  // pauses first
    expectInStepWhilePaused("one frame on");
    for (int i = 0; i < 3; ++i) press(Qt::Key_Period);
    expectInStepWhilePaused("three frames on");
    press(Qt::Key_Comma);
    expectInStepWhilePaused("one frame back");
    press(Qt::Key_Space);
    expectInStep("play after steps");

    pressBar(0.2);
    for (int i = 0; i < 4; ++i) press(Qt::Key_BracketRight);
    QTest::qWait(250);
    press(Qt::Key_Backspace);
    expectInStep("16x and back to 1x");
    for (int i = 0; i < 3; ++i) press(Qt::Key_BracketLeft);
    expectInStep("1/8x");
    press(Qt::Key_Backspace);

    QTest::mouseClick(form->optRight, Qt::LeftButton);
    expectInStep("camera 2 heard");
    QTest::mouseClick(form->optLeft, Qt::LeftButton);
    expectInStep("camera 1 heard again");

    EXPECT_EQ(messages.count(), 0);
}

INSTANTIATE_TEST_SUITE_P(Camera2, LockstepRealTimeTest, ::testing::Values(false, true),
                         [](const auto& info) {
                             return std::string(info.param ? "withSound" : "silent");
                         });

}  // namespace
}  // namespace corvid
