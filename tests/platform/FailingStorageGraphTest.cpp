#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QTemporaryDir>
#include <QWidget>
#include <atomic>
#include <condition_variable>
#include <filesystem>
#include <memory>
#include <mutex>
#include <string>

#include "platform/graph/FfmpegGraph.h"
#include "platform/graph/GraphNotice.h"
#include "platform/util/Failure.h"
#include "platform/widgets/WindowHandles.h"
#include "support/CapturingAudioOutput.h"
#include "support/Eventually.h"
#include "support/ManualClock.h"
#include "support/TestMedia.h"

namespace corvid {
namespace {

using namespace std::chrono_literals;
using test::eventually;
using test::TestMedia;

// Storage that stops answering one reader: a read it is asked for blocks, deaf to any
// interrupt, until the storage is let go, as on a network mount that hangs. It may also
// fail reads instead.
class Storage {
public:
    enum class Mode { Answers, Hangs, Fails };

    // The gate for a graph; it holds the storage for as long as any copy of it lives.
    static MediaSource::ReadGate gateOf(const std::shared_ptr<Storage>& storage) {
        return [storage](MediaSource::Reader reader) { return storage->read(reader); };
    }

    void set(MediaSource::Reader reader, Mode mode) {
        {
            std::lock_guard lock(mutex_);
            reader_ = reader;
            mode_ = mode;
        }
        changed_.notify_all();
    }
    int hung() const { return hung_.load(); }

private:
    bool read(MediaSource::Reader reader) {
        std::unique_lock lock(mutex_);
        if (reader != reader_) return true;
        if (mode_ == Mode::Hangs) {
            ++hung_;
            changed_.wait(lock, [this] { return mode_ != Mode::Hangs; });
        }
        return mode_ != Mode::Fails;
    }

    std::mutex mutex_;
    std::condition_variable changed_;
    MediaSource::Reader reader_ = MediaSource::Reader::Playing;
    Mode mode_ = Mode::Answers;
    std::atomic<int> hung_{0};
};

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

    std::shared_ptr<FfmpegGraph> graphOn(const std::shared_ptr<Storage>& on,
                                         std::chrono::milliseconds openLimit = 10s) {
        FfmpegGraph::Options options;
        options.clock = clock;
        options.audioOutput = [](int rate) { return std::make_unique<CapturingAudioOutput>(rate); };
        options.openTimeout = openLimit;
        options.readGate = Storage::gateOf(on);
        return std::make_shared<FfmpegGraph>(options);
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
    std::shared_ptr<Storage> storage = std::make_shared<Storage>();
    QTemporaryDir folder;
};

TEST_F(FailingStorageGraphTest, renderFile_givesUpWithinItsLimit_whenTheStorageStopsAnswering) {
    // At the first read of the open, and at the scan of the end for the duration, after
    // the first picture was decoded.
    for (const MediaSource::Reader reader :
         {MediaSource::Reader::Playing, MediaSource::Reader::EndScan}) {
        SCOPED_TRACE(static_cast<int>(reader));
        storage->set(reader, Storage::Mode::Hangs);
        auto hanging = graphOn(storage, kShortOpenLimit);
        QElapsedTimer waited;
        waited.start();
        try {
            hanging->RenderFile(TestMedia::wmv2WithAudio());
            ADD_FAILURE() << "opened on storage that does not answer";
        } catch (const Failure& failure) {
            EXPECT_EQ(failure.code(), Failure::Timeout) << failure.what();
        }
        // The limit, and whatever a busy machine adds to it, but never the hang itself.
        EXPECT_LT(waited.elapsed(), 5000);
        EXPECT_GE(storage->hung(), 1);

        // Other graphs open files meanwhile, while the opening left behind still hangs.
        auto healthy = graphOn(std::make_shared<Storage>());
        healthy->RenderFile(TestMedia::wmv2WithAudio());
        EXPECT_EQ(healthy->get_Width(), 352);
        hanging.reset();
        EXPECT_GT(storage.use_count(), 1);

        // Once the storage answers again, the opening left behind frees all it held.
        storage->set(reader, Storage::Mode::Answers);
        EXPECT_TRUE(eventually([&] { return storage.use_count() == 1; }));
        storage = std::make_shared<Storage>();
    }
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
    storage->set(MediaSource::Reader::Playing, Storage::Mode::Fails);
    ASSERT_TRUE(failsWhilePlaying(*graph));
    EXPECT_NE(graph->GetErrorText().find("could not be read"), std::string::npos)
        << graph->GetErrorText();
}

}  // namespace
}  // namespace corvid
