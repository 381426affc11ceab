#include <gtest/gtest.h>

#include <QTest>
#include <cmath>

#include "platform/graph/GraphFactory.h"
#include "player_control/QVRControl.h"
#include "support/FakeGraphFactory.h"
#include "support/MessageBoxRecorder.h"
#include "util/Failure.h"

namespace corvid {
namespace {

// The panel's review operations on fake graphs.
class QVRControlReviewTest : public ::testing::Test {
protected:
    QVRControlReviewTest() {
        factory->catalog().files["/rec/a-1.asf"] = FakeMedia{320, 240, false, 600.0};
        factory->catalog().files["/rec/sound.asf"] = FakeMedia{0, 0, false, 60.0};
        panel.resize(400, 300);
    }

    FakeGraph& graph() { return *factory->lastGraph(); }
    FakeCallLog& log() { return factory->log(); }

    std::shared_ptr<FakeGraphFactory> factory = std::make_shared<FakeGraphFactory>();
    GraphFactory::Scoped graphs{factory};
    test::MessageBoxRecorder messages;
    QVRControl panel;
};

TEST_F(QVRControlReviewTest, speed_isKeptAcrossResets_andEveryOpenPlaysAtIt) {
    // At normal speed an open makes exactly the calls it always made.
    panel.OpenFile2("/rec/a-1.asf");
    EXPECT_EQ(log().count("put_Rate"), 1);

    panel.SetRate(4.0);
    EXPECT_EQ(graph().rate, 4.0);
    panel.UserControl_Initialize();
    EXPECT_EQ(panel.Rate(), 4.0);
    log().clear();
    panel.OpenFile2("/rec/a-1.asf");
    EXPECT_EQ(graph().rate, 4.0);
    EXPECT_EQ(graph().state, FakeGraph::State::Running);
    const auto calls = log().callsNamed({"put_Rate", "Run"});
    EXPECT_EQ(calls, (std::vector<std::string>{"put_Rate(1)", "Run()", "put_Rate(4)"}));

    panel.SetRate(100.0);
    EXPECT_EQ(panel.Rate(), 16.0);
    panel.SetRate(0.0);
    EXPECT_EQ(panel.Rate(), 0.125);
    EXPECT_THROW(panel.SetRate(std::nan("")), Failure);
    EXPECT_EQ(panel.Rate(), 0.125);

    // A graph that refuses the speed does not make the panel forget it.
    log().failOn("put_Rate", 1);
    EXPECT_THROW(panel.SetRate(2.0), Failure);
    EXPECT_EQ(panel.Rate(), 2.0);
}

TEST_F(QVRControlReviewTest, stepAndSeek_reachTheEngine_exceptStepsWithoutPictures) {
    panel.OpenFile2("/rec/a-1.asf");
    graph().position = 598.0;
    panel.SeekBy(5.0);
    EXPECT_EQ(graph().position, 600.0);
    panel.SeekBy(-700.0);
    EXPECT_EQ(graph().position, 0.0);
    panel.StepFrame(2);
    EXPECT_DOUBLE_EQ(graph().position, 0.08);
    EXPECT_FALSE(panel.engine()->DS_Playing);

    panel.OpenFile2("/rec/sound.asf");
    log().clear();
    panel.StepFrame(1);
    EXPECT_EQ(log().count("Step"), 0);
}

TEST_F(QVRControlReviewTest, fullScreen_entersAndLeaves_withoutCountingDoubleClicks) {
    panel.OpenFile2("/rec/a-1.asf");
    panel.FullScreen();
    EXPECT_EQ(graph().fullScreenMode, -1);
    EXPECT_EQ(panel.num, 0);
    panel.LeaveFullScreen();
    EXPECT_EQ(graph().fullScreenMode, 0);

    // Without a video window neither is an error.
    panel.OpenFile2("/rec/sound.asf");
    EXPECT_NO_THROW(panel.FullScreen());
    EXPECT_NO_THROW(panel.LeaveFullScreen());
}

}  // namespace
}  // namespace corvid
