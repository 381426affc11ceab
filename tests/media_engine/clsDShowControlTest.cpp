#include "media_engine/clsDShowControl.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/IMediaEvent.h"
#include "support/FakeGraphFactory.h"

namespace corvid {
namespace {

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::IsEmpty;

constexpr WindowHandle kHost = 77;

// The calls of one successful open of a file, in order.
std::vector<std::string> openCalls(const std::string& file) {
    return {"CreateFilgraphManager()",
            "QueryMediaControl()",
            "RenderFile(" + file + ")",
            "QueryBasicAudio()",
            "put_Volume(0)",
            "put_Balance(0)",
            "QueryVideoWindow()",
            "get_Width()",
            "get_Height()",
            "put_WindowStyle(268435456)",
            "put_Owner(77)",
            "put_Width(400)",
            "put_Height(300)",
            "put_Top(0)",
            "put_Left(0)",
            "put_MessageDrain(77)",
            "put_FullScreenMode(0)",
            "QueryMediaEvent()",
            "QueryMediaPosition()",
            "put_Rate(1)"};
}

class clsDShowControlTest : public ::testing::Test {
protected:
    void open(const QString& file = QStringLiteral("/media/day1-1.asf")) {
        engine.DS_OpenFile(file, 0, 0, 400, 300, kHost);
    }
    // Opens a file and forgets the calls of the open, with the graph's position and duration.
    std::shared_ptr<FakeGraph> openAt(double position, double duration) {
        factory->catalog().defaultMedia->duration = duration;
        open();
        auto graph = factory->lastGraph();
        graph->position = position;
        factory->log().clear();
        return graph;
    }
    FakeCallLog& log() { return factory->log(); }

    std::shared_ptr<FakeGraphFactory> factory = std::make_shared<FakeGraphFactory>();
    clsDShowControl engine{factory};
};

TEST_F(clsDShowControlTest, openFile_attachesVideoWindowAndRecordsSize_whenFileHasVideo) {
    open();

    EXPECT_THAT(log().calls(), ElementsAreArray(openCalls("/media/day1-1.asf")));
    EXPECT_EQ(engine.MediaFile, "/media/day1-1.asf");
    EXPECT_FALSE(engine.IsAudioOnly);
    EXPECT_EQ(engine.orgmwidth, 320);
    EXPECT_EQ(engine.orgmheight, 240);
    auto graph = factory->lastGraph();
    EXPECT_EQ(graph->owner, kHost);
    EXPECT_EQ(graph->messageDrain, kHost);
    EXPECT_EQ(graph->windowStyle, IVideoWindow::kStyleVisible);
    EXPECT_EQ(graph->windowWidth, 400);
    EXPECT_EQ(graph->windowHeight, 300);
}

}  // namespace
}  // namespace corvid
