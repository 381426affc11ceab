#include <gtest/gtest.h>

#include <QAction>
#include <QFile>
#include <QListWidget>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

#include "main_window/Form1.h"
#include "media_engine/clsDShowControl.h"
#include "platform/file_views/FolderList.h"
#include "platform/graph/GraphFactory.h"
#include "player_control/QVRControl.h"
#include "recording_pair/RecordingPair.h"
#include "support/ManualClockWindowTest.h"
#include "support/PictureReader.h"
#include "support/TestMedia.h"

namespace corvid {
namespace {

using test::PictureReader;
using test::TestMedia;

// The window's keys on real media graphs, over generated two-camera recordings whose
// pictures carry their frame numbers. Time moves only when the test moves it.
class ReviewKeysPlaybackTest : public test::ManualClockWindowTest {
protected:
    void SetUp() override {
        copyPair("long", test::camera(1, 30), test::camera(2, 30));
        copyPair("short", test::camera(1, 6), test::camera(2, 8));
        showOnFolder(2);
    }

    double rate(int number) const { return panel(number)->engine()->DS_GetRate(); }

    // Waits until both panels show the given frames, and says what they show.
    ::testing::AssertionResult show(int frame1, int frame2) {
        if (waitFor([&] { return frame(1) == frame1 && frame(2) == frame2; }, 5000))
            return ::testing::AssertionSuccess();
        return ::testing::AssertionFailure()
               << "wanted " << frame1 << "/" << frame2 << ", shown " << frame(1) << "/" << frame(2);
    }

    // How far each panel moves in `seconds` of time.
    std::pair<double, double> advanceOver(double seconds) {
        untilBothRun();
        const double start1 = position(1);
        const double start2 = position(2);
        time->advance(seconds);
        return {position(1) - start1, position(2) - start2};
    }
};

TEST_F(ReviewKeysPlaybackTest, frameKeys_showTheNextAndPreviousPictures_inBothPanels) {
    load("AB\tlong");
    const auto times = TestMedia::videoPacketTimes(test::camera(1, 30));
    const double halfFrame = (times[1] - times[0]) / 2;
    untilBothRun();
    time->advance(1.0);
    form->lsASF->setFocus();

    press(Qt::Key_Period);  // pauses first, through the Pause command
    EXPECT_EQ(form->mnuPlay->text(), "Play");
    ASSERT_TRUE(waitFor([&] { return form->pair().settled(); }));
    const int start1 = frame(1);
    const int start2 = frame(2);
    ASSERT_GE(start1, 0);
    ASSERT_GE(start2, 0);
    QTest::qWait(200);
    ASSERT_TRUE(show(start1, start2)) << "paused panels keep their pictures";

    for (int i = 0; i < 5; ++i) press(Qt::Key_Period);
    EXPECT_TRUE(show(start1 + 5, start2 + 5));
    EXPECT_NEAR(position(1), times[start1 + 5], halfFrame);
    EXPECT_NEAR(position(2), times[start2 + 5], halfFrame);

    press(Qt::Key_Comma);
    EXPECT_TRUE(show(start1 + 4, start2 + 4));
    EXPECT_NEAR(position(1), times[start1 + 4], halfFrame);
    EXPECT_NEAR(position(2), times[start2 + 4], halfFrame);
    EXPECT_EQ(messages.count(), 0);
}

TEST_F(ReviewKeysPlaybackTest, speedKeys_runBothPanelsFaster_throughDragsAndLoads) {
    load("AB\tlong");
    form->lsASF->setFocus();
    press(Qt::Key_BracketRight);
    press(Qt::Key_BracketRight);
    ASSERT_EQ(rate(1), 4.0);
    ASSERT_EQ(rate(2), 4.0);

    const auto [fast1, fast2] = advanceOver(2.0);
    EXPECT_NEAR(fast1, 8.0, 1e-6);
    EXPECT_NEAR(fast2, 8.0, 1e-6);

    // A drag on the bar back to the start, then on at the same speed.
    const QPoint left(2, form->P1->height() / 2);
    QTest::mousePress(form->P1, Qt::LeftButton, {}, left);
    QTest::mouseMove(form->P1, left + QPoint(20, 0));
    QTest::mouseRelease(form->P1, Qt::LeftButton, {}, left + QPoint(20, 0));
    EXPECT_EQ(form->mnuPlay->text(), "Pause");
    EXPECT_LT(position(1), 5.0);
    EXPECT_EQ(rate(1), 4.0);
    EXPECT_EQ(rate(2), 4.0);
    const auto [dragged1, dragged2] = advanceOver(1.0);
    EXPECT_NEAR(dragged1, 4.0, 1e-6);
    EXPECT_NEAR(dragged2, 4.0, 1e-6);

    // Pause and play again, and load another recording: still linked at 4x.
    press(Qt::Key_Space);
    press(Qt::Key_Space);
    EXPECT_EQ(rate(1), 4.0);
    load("AB\tshort");
    EXPECT_EQ(rate(1), 4.0);
    EXPECT_EQ(rate(2), 4.0);

    press(Qt::Key_Backspace);
    EXPECT_EQ(rate(1), 1.0);
    EXPECT_EQ(rate(2), 1.0);
    const auto [normal1, normal2] = advanceOver(1.0);
    EXPECT_NEAR(normal1, 1.0, 1e-6);
    EXPECT_NEAR(normal2, 1.0, 1e-6);
    EXPECT_EQ(messages.count(), 0);
}

}  // namespace
}  // namespace corvid
