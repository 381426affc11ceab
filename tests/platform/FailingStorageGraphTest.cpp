#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QTemporaryDir>
#include <QWidget>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>

#include "platform/graph/ClockHold.h"
#include "platform/graph/FfmpegGraph.h"
#include "platform/graph/FfmpegPlaybackClock.h"
#include "platform/graph/GraphNotice.h"
#include "platform/widgets/WindowHandles.h"
#include "support/CapturingAudioOutput.h"
#include "support/DamagedMedia.h"
#include "support/Eventually.h"
#include "support/FaultyStorage.h"
#include "support/ManualClock.h"
#include "support/TestMedia.h"
#include "util/Failure.h"

namespace corvid {
namespace {

using namespace std::chrono_literals;
using test::eventually;
using test::FaultyStorage;
using test::TestMedia;
using Use = IFileStorage::Use;

// Counts the notices a graph sends it.
class NotifyWindow : public QWidget {
public:
    int notices = 0;

protected:
    bool event(QEvent* event) override {
        if (event->type() == GraphNotice::kind()) {
            ++notices;
            return true;
        }
        return QWidget::event(event);
    }
};

// The real graph on storage that hangs or fails, during the open and while it plays.
class FailingStorageGraphTest : public ::testing::Test {
protected:
    // The open's limit where the storage hangs; healthy opens keep the usual one, which a
    // busy machine needs.
    static constexpr auto kShortOpenLimit = 500ms;
    // A read during playback; generous for a busy machine.
    static constexpr auto kStallLimit = 2s;

    std::shared_ptr<FfmpegGraph> graphOn(const std::shared_ptr<FaultyStorage>& on,
                                         std::chrono::milliseconds openLimit = 10s) {
        FfmpegGraph::Options options;
        options.clock = clock;
        options.audioOutput = [this](int rate) {
            auto output = std::make_unique<CapturingAudioOutput>(rate);
            sound = output.get();
            return output;
        };
        options.openTimeout = openLimit;
        options.stallLimit = kStallLimit;
        options.storage = on;
        options.faults = faults;
        return std::make_shared<FfmpegGraph>(options);
    }

    // Once the storage answers again, what was left behind frees all it held.
    void expectAllFreedOnceTheStorageAnswers() {
        storage->set(FaultyStorage::Mode::Answers);
        EXPECT_TRUE(eventually([&] { return storage.use_count() == 1; }));
        EXPECT_EQ(storage->openFiles(), 0);
    }

    // A recording of its own, which the test may cut short.
    std::string copyOf(const std::string& path) {
        const std::string copy = folder.filePath("recording.asf").toStdString();
        std::filesystem::copy_file(path, copy);
        return copy;
    }

    // Lets playback run until the graph reports a failure.
    bool failsWhilePlaying(FfmpegGraph& graph) {
        return eventually(
            [&] {
                clock->advance(0.1);
                return graph.WaitForCompletion(0) == IMediaEvent::kErrorAbort;
            },
            10000);
    }

    std::shared_ptr<ManualClock> clock = std::make_shared<ManualClock>();
    std::shared_ptr<InjectedFaults> faults = std::make_shared<InjectedFaults>();
    // The sound output of the graph made last.
    CapturingAudioOutput* sound = nullptr;
    std::shared_ptr<FaultyStorage> storage = FaultyStorage::local();
    QTemporaryDir folder;
};

TEST_F(FailingStorageGraphTest, renderFile_givesUpWithinItsLimit_whenTheStorageStopsAnswering) {
    // At the open, and at the scan of the end for the duration, while the first picture is
    // decoded: a recording cut short has its end looked for.
    for (const Use use : {Use::Playing, Use::EndScan}) {
        SCOPED_TRACE(static_cast<int>(use));
        storage->set(FaultyStorage::Mode::Hangs, use);
        auto hanging = graphOn(storage, kShortOpenLimit);
        QElapsedTimer waited;
        waited.start();
        try {
            hanging->RenderFile(use == Use::EndScan ? test::DamagedMedia::cutAt(80)
                                                    : TestMedia::wmv2WithAudio());
            ADD_FAILURE() << "opened on storage that does not answer";
        } catch (const Failure& failure) {
            EXPECT_EQ(failure.code(), Failure::Timeout) << failure.what();
        }
        // The limit, and whatever a busy machine adds to it, but never the hang itself.
        EXPECT_LT(waited.elapsed(), 5000);
        EXPECT_GE(storage->hung(), 1);

        // Other graphs open files meanwhile, while the reader left behind still hangs.
        auto healthy = graphOn(FaultyStorage::local());
        healthy->RenderFile(TestMedia::wmv2WithAudio());
        EXPECT_EQ(healthy->get_Width(), 352);
        hanging.reset();
        EXPECT_GT(storage.use_count(), 1);
        expectAllFreedOnceTheStorageAnswers();
        storage = FaultyStorage::local();
    }
    // A recording its writer finished gives its length in its header: its tail is not read.
    storage->set(FaultyStorage::Mode::Hangs, Use::EndScan);
    auto finished = graphOn(storage, kShortOpenLimit);
    finished->RenderFile(TestMedia::wmv2WithAudio());
    EXPECT_EQ(storage->hung(), 0);
    EXPECT_NEAR(finished->get_Duration(), test::MediaRecipe{}.seconds, 0.1);
}

TEST_F(FailingStorageGraphTest, playback_endsInErrorAbort_whenTheFileIsCutShortWhilePlaying) {
    test::MediaRecipe recipe;
    recipe.seconds = 10;
    const std::string path = copyOf(TestMedia::make(recipe));
    auto graph = graphOn(storage);
    NotifyWindow window;
    graph->RenderFile(path);
    graph->SetNotifyWindow(WindowHandles::handleOf(&window));
    const double duration = graph->get_Duration();
    graph->Run();
    clock->advance(0.5);
    EXPECT_EQ(graph->WaitForCompletion(0), IMediaEvent::kNone);
    EXPECT_EQ(graph->GetErrorText(), "");

    std::filesystem::resize_file(path, std::filesystem::file_size(path) * 3 / 10);
    ASSERT_TRUE(failsWhilePlaying(*graph));
    EXPECT_LT(graph->get_CurrentPosition(), duration * 0.5);  // well before the end
    EXPECT_NE(graph->GetErrorText().find("cut short"), std::string::npos) << graph->GetErrorText();
    EXPECT_TRUE(eventually([&] { return window.notices == 1; }));
    // The failure stands; a seek does not hide it.
    graph->put_CurrentPosition(1.0);
    EXPECT_EQ(graph->WaitForCompletion(10), IMediaEvent::kErrorAbort);
}

TEST_F(FailingStorageGraphTest, playback_endsInErrorAbort_whenAReadFails_butNotAtItsEnd) {
    // A recording that plays to its end completes as ever.
    auto whole = graphOn(storage);
    whole->RenderFile(TestMedia::wmv2WithAudio());
    whole->Run();
    EXPECT_TRUE(eventually(
        [&] {
            clock->advance(0.25);
            return whole->WaitForCompletion(0) == IMediaEvent::kComplete;
        },
        10000));
    EXPECT_EQ(whole->GetErrorText(), "");

    test::MediaRecipe recipe;
    recipe.seconds = 10;
    auto graph = graphOn(storage);
    graph->RenderFile(TestMedia::make(recipe));
    graph->Run();
    storage->set(FaultyStorage::Mode::Fails, Use::Playing);
    ASSERT_TRUE(failsWhilePlaying(*graph));
    EXPECT_NE(graph->GetErrorText().find("could not be read"), std::string::npos)
        << graph->GetErrorText();
}

TEST_F(FailingStorageGraphTest,
       playback_failsAsStalled_butGoesAtOnce_whenTheStorageStopsAnswering) {
    test::MediaRecipe recipe;
    recipe.seconds = 10;
    const std::string path = TestMedia::make(recipe);
    for (const bool waitForTheLimit : {true, false}) {
        SCOPED_TRACE(waitForTheLimit);
        auto graph = graphOn(storage);
        NotifyWindow window;
        graph->RenderFile(path);
        graph->SetNotifyWindow(WindowHandles::handleOf(&window));
        graph->Run();
        storage->set(FaultyStorage::Mode::Hangs, Use::Playing);
        // The reads ahead run into the storage as the queues drain.
        ASSERT_TRUE(eventually(
            [&] {
                clock->advance(0.1);
                return storage->hung() > 0;
            },
            10000));
        if (waitForTheLimit) {
            ASSERT_TRUE(failsWhilePlaying(*graph));
            EXPECT_NE(graph->GetErrorText().find("stopped answering"), std::string::npos)
                << graph->GetErrorText();
            EXPECT_TRUE(eventually([&] { return window.notices == 1; }));
        }
        // Teardown gives the read up instead of waiting for the storage.
        QElapsedTimer tearingDown;
        tearingDown.start();
        graph.reset();
        EXPECT_LT(tearingDown.elapsed(), 1000);
        EXPECT_GT(storage.use_count(), 1);
        expectAllFreedOnceTheStorageAnswers();
        storage = FaultyStorage::local();
    }
}

TEST_F(FailingStorageGraphTest, seekHold_runsOut_forAFileThatDoesNotAnswer_andTheOtherPlaysOn) {
    const auto both = std::make_shared<FfmpegPlaybackClock>(clock, clock);
    auto hung = graphOn(storage);
    auto healthy = graphOn(FaultyStorage::local());
    NotifyWindow window;
    for (const auto& graph : {hung, healthy}) {
        graph->FollowClock(both);
        graph->RenderFile(TestMedia::wmv2WithAudio());
        graph->Run();
    }
    hung->SetNotifyWindow(WindowHandles::handleOf(&window));
    storage->set(FaultyStorage::Mode::Hangs);
    {
        ClockHold atOnce(both);
        hung->put_CurrentPosition(2.0);
        healthy->put_CurrentPosition(2.0);
    }
    ASSERT_TRUE(eventually([&] { return storage->hung() > 0; }));
    ASSERT_TRUE(eventually([&] { return healthy->shownPictureTime() >= 1.9; }));
    clock->advance(PlaybackClock::kSeekHoldLimit - 0.5);
    EXPECT_DOUBLE_EQ(healthy->get_CurrentPosition(), 2.0) << "held for the other file";
    EXPECT_EQ(hung->WaitForCompletion(0), IMediaEvent::kNone);

    // Past the limit the file that did not answer lets go, and says so.
    clock->advance(1.0);
    EXPECT_TRUE(eventually([&] { return hung->WaitForCompletion(0) == IMediaEvent::kErrorAbort; }));
    clock->advance(0.5);
    EXPECT_NEAR(healthy->get_CurrentPosition(), 2.5, 1e-6);
    EXPECT_NE(hung->GetErrorText().find("did not answer in time"), std::string::npos)
        << hung->GetErrorText();
    EXPECT_TRUE(eventually([&] { return window.notices == 1; }));
    hung.reset();
    expectAllFreedOnceTheStorageAnswers();
    EXPECT_EQ(healthy->WaitForCompletion(0), IMediaEvent::kNone);
}

TEST_F(FailingStorageGraphTest, playback_endsInErrorAbort_whenAWorkerFailsForGood_andSaysWhich) {
    test::MediaRecipe recipe;
    recipe.seconds = 10;
    const std::string path = TestMedia::make(recipe);
    using Worker = InjectedFaults::Worker;
    const struct {
        std::function<void()> fail;
        const char* says;
    } cases[] = {
        {[&] { faults->fail(Worker::VideoDecoder, path); }, "pictures of the recording can no"},
        {[&] { faults->fail(Worker::AudioDecoder, path); }, "sound of the recording can no"},
        {[&] { faults->fail(Worker::Scaler, path); }, "pictures of the recording cannot be shown"},
        {[&] { sound->fail(); }, "sound device stopped working"},
    };
    for (const auto& failure : cases) {
        SCOPED_TRACE(failure.says);
        faults = std::make_shared<InjectedFaults>();
        auto graph = graphOn(storage);
        NotifyWindow window;
        graph->RenderFile(path);
        graph->SetNotifyWindow(WindowHandles::handleOf(&window));
        graph->Run();
        clock->advance(0.5);
        EXPECT_EQ(graph->WaitForCompletion(0), IMediaEvent::kNone);
        failure.fail();
        ASSERT_TRUE(failsWhilePlaying(*graph));
        EXPECT_NE(graph->GetErrorText().find(failure.says), std::string::npos)
            << graph->GetErrorText();
        EXPECT_TRUE(eventually([&] { return window.notices == 1; }));
    }
}

}  // namespace
}  // namespace corvid
