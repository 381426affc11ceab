#include <gtest/gtest.h>

#include <QStyle>
#include <QStyleOptionSlider>
#include <QTest>
#include <algorithm>
#include <limits>
#include <vector>

#include "platform/graph/GraphFactory.h"
#include "platform/graph/GraphNotice.h"
#include "platform/widgets/WindowHandles.h"
#include "player_control/QVRControl.h"
#include "support/FakeFileChooser.h"
#include "support/FakeGraphFactory.h"
#include "support/MessageBoxRecorder.h"
#include "support/PictureReader.h"
#include "util/Failure.h"

namespace corvid {
namespace {

using test::PictureReader;

QRect partOf(QScrollBar* bar, QStyle::SubControl part) {
    QStyleOptionSlider option;
    option.initFrom(bar);
    option.orientation = bar->orientation();
    option.state |= QStyle::State_Horizontal;
    option.minimum = bar->minimum();
    option.maximum = bar->maximum();
    option.sliderPosition = bar->sliderPosition();
    option.sliderValue = bar->value();
    option.singleStep = bar->singleStep();
    option.pageStep = bar->pageStep();
    return bar->style()->subControlRect(QStyle::CC_ScrollBar, &option, part, bar);
}

void clickPart(QScrollBar* bar, QStyle::SubControl part) {
    QTest::mouseClick(bar, Qt::LeftButton, {}, partOf(bar, part).center());
}

// Presses the thumb, drags it `dx` pixels in small moves and lets go.
void dragThumb(QScrollBar* bar, int dx) {
    QPoint at = partOf(bar, QStyle::SC_ScrollBarSlider).center();
    QTest::mousePress(bar, Qt::LeftButton, {}, at);
    for (int moved = 0; moved != dx; moved += dx > 0 ? 1 : -1) {
        at.rx() += dx > 0 ? 1 : -1;
        QTest::mouseMove(bar, at);
    }
    QTest::mouseRelease(bar, Qt::LeftButton, {}, at);
}

class QVRControlTest : public ::testing::Test {
protected:
    QVRControlTest() {
        factory->catalog().files["/rec/a-1.asf"] = FakeMedia{320, 240, false, 600.0};
        factory->catalog().unplayable.insert("/rec/bad.asf");
        panel.resize(400, 300);
        panel.show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&panel));
    }

    FakeGraph& graph() { return *factory->lastGraph(); }
    FakeCallLog& log() { return factory->log(); }
    int volumeCallsAfterRun() {
        const auto calls = log().callsNamed({"Run", "put_Volume"});
        const auto run = std::find(calls.begin(), calls.end(), "Run()");
        return run == calls.end() ? -1 : static_cast<int>(calls.end() - run - 1);
    }

    std::shared_ptr<FakeGraphFactory> factory = std::make_shared<FakeGraphFactory>();
    GraphFactory::Scoped graphs{factory};
    test::ScopedFakeFileChooser chooser;
    test::MessageBoxRecorder messages;
    QVRControl panel;
};

TEST_F(QVRControlTest, OpenFile2_opensFitsSetsRangeAndPlays_atFullVolume) {
    panel.OpenFile2("/rec/a-1.asf");

    EXPECT_EQ(graph().renderedFile, "/rec/a-1.asf");
    EXPECT_EQ(graph().owner, WindowHandles::handleOf(panel.PicVid));
    EXPECT_EQ(graph().state, FakeGraph::State::Running);
    EXPECT_EQ(panel.HScroll2->maximum(), 600);
    // 298 * 320 / 240 = 397.33 -> 397 wide, centred at (400 - 397) / 2 = 1.5 -> 2.
    EXPECT_EQ(
        QRect(graph().windowLeft, graph().windowTop, graph().windowWidth, graph().windowHeight),
        QRect(2, 0, 397, 298));
    EXPECT_EQ(graph().volume, 0);
    EXPECT_EQ(volumeCallsAfterRun(), 0);
    EXPECT_TRUE(panel.notice().isEmpty());
}

TEST_F(QVRControlTest, openTail_reappliesSliderVolume_onlyWhenBelowFull) {
    panel.SetVol(30);  // no graph yet: nothing to keep
    panel.HScroll1->SetValue(40);
    panel.OpenFile2("/rec/a-1.asf");
    EXPECT_EQ(graph().volume, -6000);
    EXPECT_EQ(volumeCallsAfterRun(), 1);

    panel.HScroll1->SetValue(100);
    panel.SetVol(30);
    log().clear();
    panel.cmdOpenFile();
    EXPECT_EQ(factory->created(), 2);
    EXPECT_EQ(graph().renderedFile, "/rec/a-1.asf");
    EXPECT_EQ(graph().state, FakeGraph::State::Running);
    EXPECT_EQ(graph().position, 0.0);
    EXPECT_EQ(panel.GetVol(), 100);
    EXPECT_EQ(volumeCallsAfterRun(), 0);
}

TEST_F(QVRControlTest, opening_doesNothing_whenNoFileIsGiven) {
    chooser->willCancel();
    panel.OpenFile();
    panel.OpenFile2("");
    panel.cmdOpenFile();

    EXPECT_TRUE(log().calls().empty());
    EXPECT_EQ(panel.HScroll2->maximum(), 100);
    ASSERT_EQ(chooser->fileRequests().size(), 1u);
    EXPECT_EQ(chooser->lastFileRequest().title, "Choose media to play");
    EXPECT_EQ(chooser->lastFileRequest().filters.size(), 5u);
    EXPECT_EQ(panel.dialog()->Filter(), QVRControl::kOpenFilter);
}

TEST_F(QVRControlTest, OpenFile_opensTheChosenFile) {
    EXPECT_EQ(panel.dialog()->Filter(), QVRControl::kInitialFilter);
    chooser->willConfirm("/rec/a-1.asf");
    panel.OpenFile();
    EXPECT_EQ(graph().renderedFile, "/rec/a-1.asf");
    EXPECT_EQ(graph().state, FakeGraph::State::Running);
}

TEST_F(QVRControlTest, openTail_playsAndKeepsWholeSeconds_whenLongerThan16BitSeconds) {
    factory->catalog().files["/rec/long-1.asf"] = FakeMedia{160, 120, false, 36000.4};
    panel.HScroll1->SetValue(50);
    panel.OpenFile2("/rec/long-1.asf");

    EXPECT_EQ(panel.HScroll2->maximum(), 36000);
    EXPECT_EQ(graph().state, FakeGraph::State::Running);
    EXPECT_EQ(graph().volume, -5000);
    EXPECT_EQ(panel.Duration(), 36000);
    dragThumb(panel.HScroll2, 400);
    EXPECT_EQ(graph().position, 36000.0);
}

TEST_F(QVRControlTest, openTail_showsNoticeUntilNextOpen_whenFileCannotBePlayed) {
    try {
        panel.OpenFile2("/rec/bad.asf");
    } catch (const Failure&) {
        // Whether the failed graph reports a duration is the graph's business.
    }
    EXPECT_TRUE(panel.notice().contains("bad.asf"));
    EXPECT_TRUE(panel.notice().contains("not found"));

    panel.OpenFile2("/rec/a-1.asf");
    EXPECT_TRUE(panel.notice().isEmpty());
}

TEST_F(QVRControlTest, graphNotice_showsAFailurePartWay_inTheSurface_andLetsTheGraphGo) {
    panel.OpenFile2("/rec/a-1.asf");
    EXPECT_EQ(graph().notifyWindow, WindowHandles::handleOf(panel.PicVid));
    // A notice without a failure (one that came late, say) changes nothing.
    QCoreApplication::postEvent(panel.PicVid, new GraphNotice);
    QCoreApplication::processEvents();
    EXPECT_EQ(factory->alive(), 1);
    EXPECT_TRUE(panel.notice().isEmpty());

    graph().failPlayback("The recording was cut short while it played");
    EXPECT_TRUE(QTest::qWaitFor([&] { return !panel.notice().isEmpty(); }, 5000));
    EXPECT_EQ(panel.notice(), "a-1.asf\nThe recording was cut short while it played");
    EXPECT_EQ(factory->alive(), 0);
    EXPECT_EQ(messages.count(), 0);
    // The panel goes on: its controls do nothing without a graph, and the next open plays.
    EXPECT_NO_THROW(panel.cmdTogglePlay());
    EXPECT_EQ(panel.Position(), 0);
    panel.cmdOpenFile();
    EXPECT_EQ(graph().state, FakeGraph::State::Running);
    EXPECT_TRUE(panel.notice().isEmpty());
}

TEST_F(QVRControlTest, SetPosition_pausesAndSeeksPercentOfDuration_clampedToMedia) {
    panel.SetPosition(50);  // before any open: nothing happens, nothing is reported
    panel.OpenFile2("/rec/a-1.asf");

    panel.SetPosition(50);
    EXPECT_EQ(graph().state, FakeGraph::State::Paused);
    EXPECT_EQ(graph().position, 300.0);
    panel.SetPosition(150);
    EXPECT_EQ(graph().position, 600.0);
    panel.SetPosition(-5);
    EXPECT_EQ(graph().position, 0.0);

    log().failOn("Pause");
    panel.SetPosition(25);
    EXPECT_EQ(graph().position, 150.0);
}

TEST_F(QVRControlTest, SetPlay_carriesOn_whereCmdPlayPassesTheFailureOn) {
    panel.OpenFile2("/rec/a-1.asf");
    panel.cmdPause();
    log().failOn("Run");
    EXPECT_NO_THROW(panel.SetPlay());
    EXPECT_THROW(panel.cmdPlay(), Failure);
    log().clearFaults();
    panel.SetPlay();
    EXPECT_EQ(graph().state, FakeGraph::State::Running);
}

TEST_F(QVRControlTest, DurationAndPosition_roundHalfToEven) {
    factory->catalog().files["/rec/short.asf"] = FakeMedia{320, 240, false, 10.5};
    factory->catalog().files["/rec/other.asf"] = FakeMedia{320, 240, false, 11.5};
    EXPECT_EQ(panel.Duration(), 0);
    panel.OpenFile2("/rec/short.asf");
    EXPECT_EQ(panel.Duration(), 10);
    graph().position = 2.5;
    EXPECT_EQ(panel.Position(), 2);
    panel.OpenFile2("/rec/other.asf");
    EXPECT_EQ(panel.Duration(), 12);
}

TEST_F(QVRControlTest, transportAndVolume_behaveAtTheirEnds) {
    panel.OpenFile2("/rec/a-1.asf");
    panel.cmdPause();
    panel.cmdTogglePlay();
    EXPECT_EQ(graph().state, FakeGraph::State::Running);
    panel.cmdTogglePlay();
    EXPECT_EQ(graph().state, FakeGraph::State::Paused);

    panel.SetVol(5);
    panel.cmdSubVol();
    EXPECT_EQ(panel.vol, 0);
    EXPECT_EQ(graph().volume, -10000);
    panel.SetVol(95);
    panel.cmdAddVol();
    EXPECT_EQ(panel.vol, 100);
    EXPECT_EQ(panel.GetVol(), 100);
    EXPECT_EQ(panel.HScroll1->value(), 100);  // the slider is not moved by the commands
}

TEST_F(QVRControlTest, cmdBalCen_reachesEngineOnlyWhenBalanceSliderMoves) {
    panel.OpenFile2("/rec/a-1.asf");
    panel.cmdBalLft();
    panel.cmdBalCen();
    EXPECT_EQ(graph().balance, -10000);

    panel.HScroll3->SetValue(300);
    EXPECT_EQ(graph().balance, 300);
    panel.cmdBalCen();
    EXPECT_EQ(graph().balance, 0);
}

TEST_F(QVRControlTest, resize_laysOutVideoSurfaceAndRefits_andSkipsRejectedSteps) {
    EXPECT_EQ(panel.PicVid->geometry(), QRect(0, 2, 400, 298));
    panel.OpenFile2("/rec/a-1.asf");

    panel.resize(800, 202);
    EXPECT_EQ(panel.PicVid->geometry(), QRect(0, 2, 800, 200));
    EXPECT_EQ(
        QRect(graph().windowLeft, graph().windowTop, graph().windowWidth, graph().windowHeight),
        QRect(266, 0, 267, 200));

    panel.resize(50, 1);  // a height of -1 is refused; the other steps still run
    EXPECT_EQ(panel.PicVid->geometry(), QRect(0, 2, 50, 200));
}

TEST_F(QVRControlTest, childControls_sitAtDesignPositions_atLogicalDpi) {
    ASSERT_EQ(panel.logicalDpiX(), 96);
    QVRControl designed;
    EXPECT_EQ(designed.size(), QSize(732, 541));
    EXPECT_EQ(designed.HScroll3->geometry(), QRect(24, 528, 81, 13));
    EXPECT_EQ(designed.cmdSeekBackButton->geometry(), QRect(376, 516, 25, 21));
    EXPECT_EQ(designed.HScroll1->geometry(), QRect(604, 516, 105, 13));
    EXPECT_EQ(designed.cmdSeekForButton->text(), " >>");
}

TEST_F(QVRControlTest, bottomRow_keepsToTheBottomEdge_fromDesignHeightUp_andHidesBelow) {
    const std::vector<QWidget*> row = {panel.HScroll3, panel.cmdSeekBackButton, panel.HScroll2,
                                       panel.cmdSeekForButton, panel.HScroll1};
    const std::vector<QRect> designed = {QRect(24, 528, 81, 13), QRect(376, 516, 25, 21),
                                         QRect(400, 520, 177, 13), QRect(576, 516, 25, 21),
                                         QRect(604, 516, 105, 13)};
    const auto rowHidden = [&] {
        return std::none_of(row.begin(), row.end(), [](QWidget* c) { return c->isVisible(); });
    };
    // 400 x 300, as before: the surface covers the panel and the row is out of sight.
    EXPECT_EQ(panel.PicVid->geometry(), QRect(0, 2, 400, 298));
    EXPECT_TRUE(rowHidden());

    for (const QSize size : {QSize(732, 541), QSize(1600, 1000)}) {
        panel.resize(size);
        const int drop = size.height() - 541;
        for (std::size_t i = 0; i < row.size(); ++i) {
            EXPECT_TRUE(row[i]->isVisible()) << i;
            EXPECT_EQ(row[i]->geometry(), designed[i].translated(0, drop)) << i;
        }
        // The surface ends where the row begins.
        EXPECT_EQ(panel.PicVid->geometry(), QRect(0, 2, size.width(), 514 + drop));
    }

    panel.resize(732, 540);
    EXPECT_TRUE(rowHidden());
    EXPECT_EQ(panel.PicVid->geometry(), QRect(0, 2, 732, 538));
}

TEST_F(QVRControlTest, soundOnlyFile_saysSoQuietlyOnTheSurface_untilAnotherOpenOrAReset) {
    FakeMedia voice;
    voice.height = 0;
    voice.duration = 60;
    factory->catalog().files["/rec/voice.asf"] = voice;

    panel.OpenFile2("/rec/voice.asf");
    EXPECT_EQ(panel.hint(), "sound only");
    EXPECT_TRUE(panel.notice().isEmpty());  // not a failure: both cameras' commands go on
    EXPECT_EQ(graph().state, FakeGraph::State::Running);
    // Drawn in the middle of the surface.
    const QRect text = PictureReader::findPicture(panel.PicVid->grab().toImage());
    ASSERT_FALSE(text.isEmpty());
    EXPECT_LE((text.center() - panel.PicVid->rect().center()).manhattanLength(), 10);

    panel.OpenFile2("/rec/a-1.asf");
    EXPECT_TRUE(panel.hint().isEmpty());

    panel.OpenFile2("/rec/voice.asf");
    panel.UserControl_Initialize();
    EXPECT_TRUE(panel.hint().isEmpty());

    // A file that does not play at all says so instead.
    try {
        panel.OpenFile2("/rec/bad.asf");
    } catch (const Failure&) {
    }
    EXPECT_TRUE(panel.hint().isEmpty());
    EXPECT_FALSE(panel.notice().isEmpty());
}

TEST_F(QVRControlTest, sliders_notifyEngine_asTheUserMovesThem) {
    panel.resize(732, 541);
    panel.OpenFile2("/rec/a-1.asf");

    clickPart(panel.HScroll1, QStyle::SC_ScrollBarSubLine);
    EXPECT_EQ(graph().volume, -100);
    clickPart(panel.HScroll1, QStyle::SC_ScrollBarSubPage);
    EXPECT_EQ(graph().volume, -1100);
    dragThumb(panel.HScroll1, -30);
    EXPECT_LT(panel.HScroll1->value(), 89);
    EXPECT_EQ(graph().volume, panel.HScroll1->value() * 100 - 10000);

    dragThumb(panel.HScroll3, -200);
    EXPECT_EQ(graph().balance, -5000);

    log().clear();
    clickPart(panel.HScroll2, QStyle::SC_ScrollBarAddLine);
    clickPart(panel.HScroll2, QStyle::SC_ScrollBarAddPage);
    EXPECT_EQ(panel.HScroll2->value(), 2);
    EXPECT_EQ(log().count("put_CurrentPosition"), 0);
    dragThumb(panel.HScroll2, 40);
    EXPECT_GT(log().count("put_CurrentPosition"), 0);
    EXPECT_EQ(graph().position, panel.HScroll2->value());

    log().failOn("put_CurrentPosition");
    dragThumb(panel.HScroll2, -20);  // a failing seek while dragging is dropped quietly
    EXPECT_EQ(messages.count(), 0);
}

TEST_F(QVRControlTest, seekButtons_moveOneSecond) {
    panel.OpenFile2("/rec/a-1.asf");
    graph().position = 10;
    QTest::mouseClick(panel.cmdSeekForButton, Qt::LeftButton);
    EXPECT_EQ(graph().position, 11.0);
    QTest::mouseClick(panel.cmdSeekBackButton, Qt::LeftButton);
    QTest::mouseClick(panel.cmdSeekBackButton, Qt::LeftButton);
    EXPECT_EQ(graph().position, 9.0);
}

TEST_F(QVRControlTest, doubleClick_goesFullScreenAndCounts_onThePictureAndTheTopStrip) {
    panel.OpenFile2("/rec/a-1.asf");
    QTest::mouseDClick(panel.PicVid, Qt::LeftButton, {}, QPoint(200, 100));
    EXPECT_EQ(graph().fullScreenMode, -1);
    EXPECT_EQ(panel.num, 1);
    panel.LeaveFullScreen();
    QTest::mouseDClick(panel.PicVid, Qt::RightButton, {}, QPoint(200, 100));
    panel.mnuMain->hide();
    EXPECT_EQ(graph().fullScreenMode, 0);

    QTest::mouseDClick(&panel, Qt::LeftButton, {}, QPoint(200, 1));
    EXPECT_EQ(graph().fullScreenMode, -1);
    EXPECT_EQ(panel.num, 2);

    panel.num = std::numeric_limits<std::int32_t>::max();
    QTest::mouseDClick(&panel, Qt::LeftButton, {}, QPoint(10, 0));
    EXPECT_EQ(panel.num, std::numeric_limits<std::int32_t>::max());
}

TEST_F(QVRControlTest, popupMenu_offersFitStretchAndOpen_onRightClick) {
    panel.OpenFile2("/rec/a-1.asf");
    QTest::mousePress(panel.PicVid, Qt::RightButton, {}, QPoint(100, 100));
    EXPECT_TRUE(panel.mnuMain->isVisible());

    panel.mnuSMovie->trigger();
    EXPECT_EQ(
        QRect(graph().windowLeft, graph().windowTop, graph().windowWidth, graph().windowHeight),
        QRect(0, 0, 400, 298));
    panel.PicVid->repaint();  // any repaint brings the proportions back
    EXPECT_EQ(graph().windowLeft, 2);
    panel.cmdStretch();
    panel.mnuCAspect->trigger();
    EXPECT_EQ(graph().windowLeft, 2);

    factory->catalog().files["/rec/b-2.asf"] = FakeMedia{};
    chooser->willConfirm("/rec/b-2.asf");
    panel.mnuOpen->trigger();
    EXPECT_EQ(graph().renderedFile, "/rec/b-2.asf");
    panel.mnuMain->hide();
}

TEST_F(QVRControlTest, UserControl_Initialize_dropsEngineAndGraph_keepingSliders) {
    panel.HScroll1->SetValue(40);
    panel.OpenFile2("/rec/a-1.asf");
    panel.num = 3;
    panel.menu = false;
    log().clear();

    panel.UserControl_Initialize();
    EXPECT_EQ(factory->alive(), 0);
    EXPECT_EQ(log().calls(), std::vector<std::string>{"Destroyed()"});
    EXPECT_TRUE(panel.engine()->MediaFile.isEmpty());
    EXPECT_EQ(panel.num, 0);
    EXPECT_TRUE(panel.menu);
    EXPECT_EQ(panel.dialog()->DialogTitle(), "Choose media to play");
    EXPECT_EQ(panel.HScroll1->value(), 40);
    EXPECT_EQ(panel.HScroll2->maximum(), 600);
}

}  // namespace
}  // namespace corvid
