#include <gtest/gtest.h>

#include <QAction>
#include <QLabel>
#include <QListWidget>
#include <QRadioButton>
#include <QTest>
#include <memory>

#include "main_window/Form1.h"
#include "platform/file_views/FolderList.h"
#include "platform/graph/GraphFactory.h"
#include "player_control/QVRControl.h"
#include "support/FakeFileChooser.h"
#include "support/FakeGraphWindowTest.h"

namespace corvid {
namespace {

// How the main window ties its two panels to one clock, on fake graphs over a real folder
// of empty recording files.
class Form1LockstepTest : public test::FakeGraphWindowTest {
protected:
    void SetUp() override {
        touch({"r-1.asf", "r-2.asf", "s-1.asf", "s-2.asf", "a-1.asf"});
        media("r-1.asf", 600);
        media("r-2.asf", 500);
        showWindow();
    }

    test::ScopedFakeFileChooser chooser;
};

TEST_F(Form1LockstepTest, pair_followsOneNewClock_andCamera2StartsOpeningBeforeCamera1) {
    selectLine("AB\tr");
    auto camera1 = graphOf("r-1.asf");
    auto camera2 = graphOf("r-2.asf");
    ASSERT_TRUE(camera1 && camera2);
    ASSERT_TRUE(camera1->clock);
    EXPECT_EQ(camera1->clock, camera2->clock);
    EXPECT_EQ(camera1->clock->depth, 0);  // held while loading, released after
    EXPECT_GT(camera1->clock->holds, 0);
    const FakeCallLog& log = factory->log();
    const int prepared = log.indexOf("PrepareFile(" + path("r-2.asf") + ")");
    ASSERT_GE(prepared, 0);
    EXPECT_LT(prepared, log.indexOf("RenderFile(" + path("r-1.asf") + ")"));
    // Each graph follows before it renders, so that it starts on the clock.
    EXPECT_LT(log.indexOf("FollowClock(1)"), log.indexOf("RenderFile(" + path("r-1.asf") + ")"));

    selectLine("AB\ts");
    EXPECT_EQ(factory->clocksCreated(), 2);
    EXPECT_EQ(graphOf("s-1.asf")->clock->number, 2);
    EXPECT_EQ(graphOf("s-2.asf")->clock->number, 2);
}

TEST_F(Form1LockstepTest, nextPair_startsOpeningBeforeTheRecordingOnShowIsClosed) {
    selectLine("AB\tr");
    auto camera1 = graphOf("r-1.asf");
    ASSERT_TRUE(camera1);
    const int before = static_cast<int>(factory->log().entries().size());
    camera1.reset();  // the window holds the last reference
    selectLine("AB\ts");
    const FakeCallLog& log = factory->log();
    const int closed = log.indexOf("Destroyed()", before);
    ASSERT_GE(closed, 0);
    // Both new files open while the graphs of the recording on show are torn down; they
    // render after.
    EXPECT_LT(log.indexOf("PrepareFile(" + path("s-1.asf") + ")", before), closed);
    EXPECT_LT(log.indexOf("PrepareFile(" + path("s-2.asf") + ")", before), closed);
    EXPECT_LT(closed, log.indexOf("RenderFile(" + path("s-1.asf") + ")", before));
    EXPECT_LT(closed, log.indexOf("RenderFile(" + path("s-2.asf") + ")", before));
    EXPECT_TRUE(form->mnuClose->isEnabled());
}

TEST_F(Form1LockstepTest, singleCamera_playsOnAClockOfItsOwn) {
    selectLine("A \ta");
    auto camera1 = graphOf("a-1.asf");
    ASSERT_TRUE(camera1);
    EXPECT_FALSE(camera1->clock);
    EXPECT_EQ(factory->log().count("FollowClock"), 0);
}

TEST_F(Form1LockstepTest, everyCommandToBothPanels_actsAtOneInstantOfTheClock) {
    selectLine("AB\tr");
    auto clock = graphOf("r-1.asf")->clock;
    for (int key : {Qt::Key_Space, Qt::Key_Right, Qt::Key_Left, Qt::Key_Period,
                    Qt::Key_BracketRight, Qt::Key_Backspace, Qt::Key_Space}) {
        const int holds = clock->holds;
        QTest::keyClick(form->lsASF, static_cast<Qt::Key>(key));
        EXPECT_GT(clock->holds, holds) << key;
        EXPECT_EQ(clock->depth, 0) << key;
    }
    const int holds = clock->holds;
    form->P1_MouseDown(1, 0, 100, 0);
    form->P1_MouseUp(1, 0, 100, 0);
    EXPECT_GE(clock->holds, holds + 2);
    EXPECT_EQ(clock->depth, 0);
    EXPECT_EQ(messages.count(), 0);
}

TEST_F(Form1LockstepTest, play_keepsTheCameraThatEndedFirstInStep_andStartsOverWhenBothEnded) {
    selectLine("AB\tr");
    auto camera1 = graphOf("r-1.asf");
    auto camera2 = graphOf("r-2.asf");
    form->mnuPlay->trigger();  // Pause
    camera1->position = 520;
    camera2->position = 500;  // the shorter camera at its end
    factory->log().clear();
    form->mnuPlay->trigger();  // Play
    EXPECT_EQ(factory->log().count("put_CurrentPosition"), 0);
    EXPECT_EQ(camera1->position, 520);
    EXPECT_EQ(camera2->position, 500);
    EXPECT_EQ(camera1->state, FakeGraph::State::Running);
    EXPECT_EQ(camera2->state, FakeGraph::State::Running);

    form->mnuPlay->trigger();
    camera1->position = 600;
    form->mnuPlay->trigger();
    EXPECT_EQ(camera1->position, 0);
    EXPECT_EQ(camera2->position, 0);
}

TEST_F(Form1LockstepTest, panelsOwnControls_moveBothCameras_whileThePanelPlaysAPairCamera) {
    selectLine("AB\tr");
    auto camera1 = graphOf("r-1.asf");
    auto camera2 = graphOf("r-2.asf");
    camera1->position = camera2->position = 100;
    for (int click = 0; click < 4; ++click)
        QTest::mouseClick(form->QVRControl2->cmdSeekForButton, Qt::LeftButton);
    EXPECT_DOUBLE_EQ(camera1->position, 104);
    EXPECT_DOUBLE_EQ(camera2->position, 104);
    QTest::mouseClick(form->QVRControl1->cmdSeekBackButton, Qt::LeftButton);
    EXPECT_DOUBLE_EQ(camera1->position, 103);
    EXPECT_DOUBLE_EQ(camera2->position, 103);
    // The position slider of camera 2 names a time of its own file.
    form->QVRControl2->HScroll2->setValue(450);
    emit form->QVRControl2->HScroll2->Scroll();  // as a drag of its thumb does
    EXPECT_DOUBLE_EQ(camera1->position, 450);
    EXPECT_DOUBLE_EQ(camera2->position, 450);
    EXPECT_EQ(messages.count(), 0);
}

TEST_F(Form1LockstepTest, panelsOwnOpenDialog_takesThePanelOutOfThePair_andOpensOnAClockOfItsOwn) {
    selectLine("AB\tr");
    chooser->willConfirm(path("s-2.asf"));
    form->QVRControl2->OpenFile();
    auto opened = graphOf("s-2.asf");
    ASSERT_TRUE(opened);
    EXPECT_FALSE(opened->clock);
    EXPECT_TRUE(graphOf("r-1.asf")->clock);
    // Visibly: camera 2 is no longer a sound of the recording, and its own controls move
    // only its own file.
    EXPECT_FALSE(form->optRight->isEnabled());
    EXPECT_TRUE(form->optLeft->isChecked());
    graphOf("r-1.asf")->position = 50;
    opened->position = 2;
    QTest::mouseClick(form->QVRControl2->cmdSeekForButton, Qt::LeftButton);
    EXPECT_DOUBLE_EQ(opened->position, 3);
    EXPECT_DOUBLE_EQ(graphOf("r-1.asf")->position, 50);
}

TEST_F(Form1LockstepTest, cameraThatCannotBeOpened_leavesTheOtherToPlayAlone) {
    factory->catalog().unplayable.insert(path("r-1.asf"));
    selectLine("AB\tr");
    auto camera2 = graphOf("r-2.asf");
    ASSERT_TRUE(camera2);
    EXPECT_TRUE(camera2->clock);
    EXPECT_EQ(camera2->state, FakeGraph::State::Running);
    EXPECT_FALSE(form->QVRControl1->notice().isEmpty());
}

TEST_F(Form1LockstepTest, timeText_isRightAtOnce_whenPausedRightAfterABarClick) {
    selectLine("AB\tr");
    form->P1_MouseDown(1, 0, 2882.5f, 0);
    form->P1_MouseUp(1, 0, 2882.5f, 0);
    form->mnuPlay->trigger();  // Pause before the timer's next tick
    EXPECT_EQ(form->L1->text(), "00:05:00 / 00:10:00");
    EXPECT_FLOAT_EQ(form->S1Width(), 2882.5f);
}

TEST_F(Form1LockstepTest, cameraHeard_isCamera2_whenCamera1HasNoSound_untilTheUserChooses) {
    factory->catalog().files[path("s-1.asf")].hasAudio = false;
    selectLine("AB\ts");
    EXPECT_TRUE(form->optRight->isChecked());
    EXPECT_GT(graphOf("s-2.asf")->volume, -10000);  // heard at the slider's volume
    QTest::mouseClick(form->optLeft, Qt::LeftButton);
    EXPECT_TRUE(form->optLeft->isChecked());
    EXPECT_EQ(graphOf("s-2.asf")->volume, -10000);

    // A camera-1 file that does not open at all leaves camera 2 heard.
    factory->catalog().unplayable.insert(path("r-1.asf"));
    selectLine("AB\tr");
    EXPECT_TRUE(form->optRight->isChecked());
    EXPECT_GT(graphOf("r-2.asf")->volume, -10000);
    EXPECT_EQ(messages.count(), 0);
}

}  // namespace
}  // namespace corvid
