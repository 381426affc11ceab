#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QWidget>
#include <cmath>
#include <thread>

#include "platform/graph/FfmpegGraph.h"
#include "platform/widgets/WindowHandles.h"
#include "support/CapturingAudioOutput.h"
#include "support/DamagedMedia.h"
#include "support/Eventually.h"
#include "support/ManualClock.h"
#include "support/PictureReader.h"
#include "support/TestMedia.h"
#include "util/Failure.h"

namespace corvid {
namespace {

using test::DamagedMedia;
using test::PictureReader;
using test::TestMedia;

using test::eventually;

// The real player core on recordings that are broken or not what their name says.
class DamagedMediaGraphTest : public ::testing::Test {
protected:
    std::shared_ptr<FfmpegGraph> open(const std::string& path) {
        FfmpegGraph::Options options;
        options.clock = clock;
        options.audioOutput = [](int rate) { return std::make_unique<CapturingAudioOutput>(rate); };
        options.openTimeout = std::chrono::milliseconds(kOpenBoundMs);
        auto graph = std::make_shared<FfmpegGraph>(options);
        QElapsedTimer timer;
        timer.start();
        try {
            graph->RenderFile(path);
        } catch (...) {
            openMs = timer.elapsed();
            throw;
        }
        openMs = timer.elapsed();
        if (graph->videoWidget() != nullptr) {
            host.resize(352, 288);
            host.show();
            graph->put_WindowStyle(IVideoWindow::kStyleVisible);
            graph->put_Owner(WindowHandles::handleOf(&host));
            graph->SetWindowPosition(0, 0, 352, 288);
        }
        return graph;
    }

    // Moves the clock on until the graph reports the end of the media.
    bool playToTheEnd(FfmpegGraph& graph) {
        return eventually(
            [&] {
                clock->advance(0.1);
                return graph.WaitForCompletion(0) == IMediaEvent::kComplete;
            },
            10000);
    }

    static int dueFrame(const std::vector<double>& times, double t) {
        int index = 0;
        for (std::size_t i = 0; i < times.size(); ++i)
            if (times[i] <= t + 0.0015) index = static_cast<int>(i);
        return index;
    }

    static constexpr int kOpenBoundMs = 5000;
    std::shared_ptr<ManualClock> clock = std::make_shared<ManualClock>();
    qint64 openMs = 0;
    QWidget host;
};

TEST_F(DamagedMediaGraphTest, renderFile_failsPromptly_whenTheFileHoldsNoPlayableMedia) {
    for (const std::string& path :
         {DamagedMedia::zeroBytes(), DamagedMedia::randomBytes(), DamagedMedia::headerOnly()}) {
        std::shared_ptr<FfmpegGraph> graph;
        EXPECT_THROW(graph = open(path), Failure) << path;
        EXPECT_LT(openMs, kOpenBoundMs + 1000) << path;
    }
}

TEST_F(DamagedMediaGraphTest, truncatedRecording_endsWhereItWasCut_andPlaysUpToThere) {
    for (int percent : {10, 50, 90, 100}) {
        const std::string path =
            percent < 100 ? DamagedMedia::cutAt(percent) : DamagedMedia::healthy();
        SCOPED_TRACE(path);
        auto graph = open(path);
        const double duration = graph->get_Duration();
        EXPECT_NEAR(duration, TestMedia::lastPacketEnd(path), 0.15);
        EXPECT_LT(duration, DamagedMedia::kHealthySeconds * (percent + 5) / 100.0);
        EXPECT_GT(duration, DamagedMedia::kHealthySeconds * (percent - 10) / 100.0);

        // From just before the cut to the end: the last pictures are shown and the end comes.
        const auto times = TestMedia::videoPacketTimes(path);
        graph->put_CurrentPosition(std::max(0.0, duration - 0.5));
        graph->Run();
        EXPECT_TRUE(playToTheEnd(*graph));
        EXPECT_NEAR(graph->get_CurrentPosition(), duration, 1e-6);
        // A cut through the last picture leaves it to the decoder's concealment, which
        // copies the damaged rows, frame code included, from the picture before.
        const int last = static_cast<int>(times.size()) - 1;
        const int lastWhole = percent < 100 ? last - 1 : last;
        int shown = -1;
        EXPECT_TRUE(eventually([&] {
            return (shown = PictureReader::frameShownIn(&host)) >= lastWhole;
        })) << "shown "
            << shown << " of " << times.size();
    }
}

TEST_F(DamagedMediaGraphTest, truncatedRecording_seeksToTheFrameDue_anywhereBeforeTheCut) {
    const std::string path = DamagedMedia::cutAt(50);
    const auto times = TestMedia::videoPacketTimes(path);
    auto graph = open(path);
    const double duration = graph->get_Duration();
    for (double share : {0.8, 0.1, 0.5, 0.99}) {
        const double target = duration * share;
        graph->put_CurrentPosition(target);
        EXPECT_NEAR(graph->get_CurrentPosition(), target, 1e-6);
        const int due = dueFrame(times, target);
        int shown = -1;
        EXPECT_TRUE(eventually([&] { return (shown = PictureReader::frameShownIn(&host)) == due; }))
            << "target " << target << " due " << due << " shown " << shown;
    }
    // Past the cut the position stays at the end of what is there.
    graph->put_CurrentPosition(DamagedMedia::kHealthySeconds);
    EXPECT_LE(graph->get_CurrentPosition(), duration + 1e-6);
}

TEST_F(DamagedMediaGraphTest, longTruncatedRecording_endsAtItsLastPacket_andSeeksNearIt) {
    const std::string path = DamagedMedia::longCut();
    auto graph = open(path);
    const double duration = graph->get_Duration();
    EXPECT_NEAR(duration, TestMedia::lastPacketEnd(path), 0.15);
    EXPECT_GT(duration, 30.0);
    const double target = duration - 1.3;
    graph->put_CurrentPosition(target);
    EXPECT_TRUE(eventually([&] { return std::abs(graph->shownPictureTime() - target) < 0.05; }))
        << "shown " << graph->shownPictureTime() << " for " << target;
}

TEST_F(DamagedMediaGraphTest, otherContainersNamedAsf_playByTheirContent) {
    auto mp4 = open(DamagedMedia::otherContainer());
    EXPECT_EQ(mp4->get_Width(), 320);
    EXPECT_NEAR(mp4->get_Duration(), 3.0, 0.1);
    mp4->Run();
    EXPECT_TRUE(playToTheEnd(*mp4));

    auto wav = open(DamagedMedia::wavNamedAsf());
    EXPECT_THROW(wav->get_Width(), Failure);  // sound only
    EXPECT_NEAR(wav->get_Duration(), 3.0, 0.1);
    wav->Run();
    EXPECT_TRUE(playToTheEnd(*wav));
}

TEST_F(DamagedMediaGraphTest, realWorldSamples_openOrFailCleanly_andSurviveTransportAndTeardown) {
    const QStringList names = QDir(CORVID_SAMPLES_DIR).entryList(QDir::Files, QDir::Name);
    ASSERT_FALSE(names.isEmpty()) << CORVID_SAMPLES_DIR;
    int opened = 0;
    for (const QString& name : names) {
        if (name == "SHA256SUMS" || name.endsWith(".md")) continue;
        SCOPED_TRACE(name.toStdString());
        const std::string path = (QStringLiteral(CORVID_SAMPLES_DIR "/") + name).toStdString();
        std::shared_ptr<FfmpegGraph> graph;
        try {
            graph = open(path);
        } catch (const Failure&) {
            EXPECT_LT(openMs, kOpenBoundMs + 1000);
            continue;
        }
        ++opened;
        EXPECT_LT(openMs, kOpenBoundMs + 1000);
        const double duration = graph->get_Duration();
        EXPECT_TRUE(std::isfinite(duration));
        EXPECT_GE(duration, 0.0);
        graph->Run();
        clock->advance(0.5);
        graph->put_CurrentPosition(duration / 2);
        graph->Pause();
        graph->put_CurrentPosition(duration * 0.9);
        graph->Run();
        clock->advance(0.5);
        EXPECT_NO_THROW(graph->Stop());
        EXPECT_NEAR(graph->get_CurrentPosition(), 0.0, 1e-6);
    }
    EXPECT_GT(opened, static_cast<int>(names.size()) / 2);
}

}  // namespace
}  // namespace corvid
