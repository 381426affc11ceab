#include "platform/graph/FfmpegGraph.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <QApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QWidget>
#include <QtTest/QTest>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <thread>

#include "platform/graph/GraphFactory.h"
#include "platform/graph/IGraphFactory.h"
#include "platform/widgets/WindowHandles.h"
#include "player_output/QtAudioOutput.h"
#include "support/CapturingAudioOutput.h"
#include "support/Eventually.h"
#include "support/ManualClock.h"
#include "support/ManualSoundOutput.h"
#include "support/PictureReader.h"
#include "support/TestMedia.h"
#include "support/ToneMeter.h"
#include "util/Failure.h"

namespace corvid {
namespace {

using test::MediaRecipe;
using test::PictureReader;
using test::TestMedia;

const std::string kSamples = CORVID_SAMPLES_DIR;

using test::eventually;

double rms(const std::vector<float>& samples, int channel, std::size_t fromFrame) {
    double sum = 0;
    std::size_t count = 0;
    for (std::size_t i = fromFrame * 2 + channel; i < samples.size(); i += 2) {
        sum += double(samples[i]) * samples[i];
        ++count;
    }
    return count == 0 ? 0.0 : std::sqrt(sum / count);
}

double decibels(double value, double reference) {
    return 20.0 * std::log10(value / reference);
}

class FfmpegGraphTest : public ::testing::Test {
protected:
    // A graph on the manual clock whose sound is captured; its video shown in `host`.
    std::shared_ptr<FfmpegGraph> open(const std::string& path, bool inHost = true) {
        FfmpegGraph::Options options;
        options.clock = clock;
        options.audioOutput = [this](int rate) {
            auto output = std::make_unique<CapturingAudioOutput>(rate);
            captured = output.get();
            return output;
        };
        auto graph = std::make_shared<FfmpegGraph>(options);
        graph->RenderFile(path);
        if (inHost && graph->videoWidget() != nullptr) {
            host.resize(400, 320);
            host.setStyleSheet("background: black");
            host.setAutoFillBackground(true);
            QPalette palette = host.palette();
            palette.setColor(QPalette::Window, Qt::black);
            host.setPalette(palette);
            host.show();
            graph->put_WindowStyle(IVideoWindow::kStyleVisible);
            graph->put_Owner(WindowHandles::handleOf(&host));
            graph->SetWindowPosition(0, 0, 352, 288);
        }
        return graph;
    }

    // Moves the clock on in steps (a seek holds it until its picture is ready) until
    // the graph reports the end.
    bool playToTheEnd(FfmpegGraph& graph) {
        return eventually(
            [&] {
                clock->advance(0.25);
                return graph.WaitForCompletion(0) == IMediaEvent::kComplete;
            },
            10000);
    }

    // A graph whose sound goes to a device on the manual clock, which drives its clock.
    std::shared_ptr<FfmpegGraph> openWithDevice(const std::string& path) {
        FfmpegGraph::Options options;
        options.clock = clock;
        options.audioOutput = [this](int rate) {
            auto output = std::make_unique<ManualSoundOutput>(rate, clock);
            device = output.get();
            return output;
        };
        auto graph = std::make_shared<FfmpegGraph>(options);
        graph->RenderFile(path);
        return graph;
    }

    // Moves the manual clock on in small steps, each once the device holds the sound for
    // it (the sound thread is a real thread), unless the device takes nothing anyway.
    void playWithDevice(double seconds, bool deviceTakesSound = true) {
        constexpr double kStep = 0.01;
        for (double done = 0; done < seconds - 1e-9; done += kStep) {
            if (deviceTakesSound)
                eventually(
                    [&] { return device->writtenSeconds() - device->heardSeconds() >= kStep; },
                    1000);
            clock->advance(kStep);
        }
    }

    int frameShown() { return PictureReader::frameShownIn(&host); }

    // Waits until the host shows frame `index`; returns the last frame seen.
    int waitForFrame(int index, int ms = 5000) {
        int shown = -1;
        eventually([&] { return (shown = frameShown()) == index; }, ms);
        return shown;
    }

    // The index of the picture due at media time t, from the file's packet times.
    static int dueFrame(const std::vector<double>& times, double t) {
        int index = 0;
        for (std::size_t i = 0; i < times.size(); ++i)
            if (times[i] <= t + 0.0015) index = static_cast<int>(i);
        return index;
    }

    std::shared_ptr<ManualClock> clock = std::make_shared<ManualClock>();
    CapturingAudioOutput* captured = nullptr;
    ManualSoundOutput* device = nullptr;
    QWidget host;
};

TEST_F(FfmpegGraphTest, renderFile_showsFirstPicture_andTheFrameDueAtTheClock) {
    const std::string path = TestMedia::wmv2WithAudio();
    const auto times = TestMedia::videoPacketTimes(path);
    auto graph = open(path);
    EXPECT_EQ(waitForFrame(0), 0);
    graph->Run();
    for (double t : {0.5, 1.0, 1.33, 2.7}) {
        clock->set(t);
        EXPECT_EQ(waitForFrame(dueFrame(times, t)), dueFrame(times, t)) << "at " << t;
        EXPECT_NEAR(graph->get_CurrentPosition(), t, 1e-9);
    }
}

TEST_F(FfmpegGraphTest, runPauseStop_holdOrStartTheClock_andStopShowsTheFirstPicture) {
    auto graph = open(TestMedia::wmv2WithAudio());
    clock->set(10);
    EXPECT_EQ(graph->get_CurrentPosition(), 0.0);  // stopped: the clock does not move
    graph->Run();
    clock->advance(1.5);
    EXPECT_NEAR(graph->get_CurrentPosition(), 1.5, 1e-9);
    graph->Pause();
    clock->advance(1.0);
    EXPECT_NEAR(graph->get_CurrentPosition(), 1.5, 1e-9);
    graph->Stop();
    EXPECT_EQ(graph->get_CurrentPosition(), 0.0);
    EXPECT_EQ(waitForFrame(0), 0);
    clock->advance(1.0);
    EXPECT_EQ(graph->get_CurrentPosition(), 0.0);
}

TEST_F(FfmpegGraphTest, putCurrentPosition_landsOnTheRequestedFrame_readsTheTargetAtOnce) {
    const std::string path = TestMedia::wmv2WithAudio();
    const auto times = TestMedia::videoPacketTimes(path);
    auto graph = open(path);
    for (double target : {2.5, 0.7, 3.9, 1.0, 0.0}) {
        graph->put_CurrentPosition(target);
        EXPECT_DOUBLE_EQ(graph->get_CurrentPosition(), target);
        EXPECT_EQ(waitForFrame(dueFrame(times, target)), dueFrame(times, target)) << target;
    }
}

TEST_F(FfmpegGraphTest, stepBack_goesFromThePictureDueAtTheClock_whileItIsBeingDrawn) {
    // Large pictures take the presenter a while to draw: a step given meanwhile must count
    // from the picture being drawn, not from the one before it.
    MediaRecipe recipe;
    recipe.width = 3840;
    recipe.height = 2160;
    recipe.seconds = 2;
    recipe.audio = false;
    const std::string path = TestMedia::make(recipe);
    const auto times = TestMedia::videoPacketTimes(path);
    auto graph = open(path, false);
    graph->Run();
    for (int i = 0; i < 10 && !HasFailure(); ++i) {
        clock->advance(0.1);  // between two pictures, two of them newly due
        const double at = graph->get_CurrentPosition();
        graph->Step(-1);
        EXPECT_NEAR(graph->shownPictureTime(), times[dueFrame(times, at) - 1], 1e-6) << "at " << at;
        graph->Run();
    }
}

TEST_F(FfmpegGraphTest, putCurrentPosition_lastOfABurstWins) {
    const std::string path = TestMedia::wmv2WithAudio();
    const auto times = TestMedia::videoPacketTimes(path);
    auto graph = open(path);
    graph->Run();
    for (int i = 0; i < 50; ++i) graph->put_CurrentPosition(0.05 + i * 0.073);
    const double last = 0.05 + 49 * 0.073;
    EXPECT_EQ(waitForFrame(dueFrame(times, last)), dueFrame(times, last));
    EXPECT_NEAR(graph->get_CurrentPosition(), last, 1e-9);
}

TEST_F(FfmpegGraphTest, seeking_landsOnTheFrame_inFilesWithoutIndex) {
    // The killed recording carries frame codes; check the picture itself.
    const std::string killed = TestMedia::killedRecording();
    const auto times = TestMedia::videoPacketTimes(killed);
    auto graph = open(killed);
    for (double target : {times.back() * 0.6, times.back() * 0.2, 1.0}) {
        graph->put_CurrentPosition(target);
        EXPECT_EQ(waitForFrame(dueFrame(times, target)), dueFrame(times, target)) << target;
    }
}

TEST_F(FfmpegGraphTest, seeking_landsOnThePictureDue_inRealFilesWithoutIndex) {
    // mimetype_asf_full.asf also has a stretch without pictures and packets past the
    // duration its header gives.
    for (const char* name : {"moon_timecode-short-wmv8.wmv", "moon_timecode-short-broadcast.wmv",
                             "mimetype_asf_full.asf"}) {
        const std::string path = kSamples + "/" + name;
        const auto times = TestMedia::videoPacketTimes(path);
        auto graph = open(path, false);
        const double duration = graph->get_Duration();
        EXPECT_NEAR(duration, TestMedia::lastPacketEnd(path), 0.1) << name;
        for (double share : {0.7, 0.3, 0.55}) {
            const double target = duration * share;
            const double due = times[dueFrame(times, target)];
            graph->put_CurrentPosition(target);
            EXPECT_TRUE(eventually([&] {
                return std::abs(graph->shownPictureTime() - due) < 0.002;
            })) << name
                << " target " << target << " due " << due << " shown " << graph->shownPictureTime();
        }
    }
}

TEST_F(FfmpegGraphTest, endOfMedia_completesTheWait_andHoldsTheEnd) {
    auto graph = open(TestMedia::wmv2WithAudio());
    graph->Run();
    EXPECT_EQ(graph->WaitForCompletion(0), IMediaEvent::kNone);
    clock->set(graph->get_Duration() + 0.5);
    EXPECT_TRUE(eventually([&] { return graph->WaitForCompletion(10) == IMediaEvent::kComplete; }));
    EXPECT_DOUBLE_EQ(graph->get_CurrentPosition(), graph->get_Duration());
    clock->advance(1.0);
    EXPECT_DOUBLE_EQ(graph->get_CurrentPosition(), graph->get_Duration());
    // A seek back plays on towards the end again, as the graph was never paused.
    const std::string path = TestMedia::wmv2WithAudio();
    const auto times = TestMedia::videoPacketTimes(path);
    graph->put_CurrentPosition(1.0);
    EXPECT_EQ(graph->WaitForCompletion(0), IMediaEvent::kNone);
    ASSERT_EQ(waitForFrame(dueFrame(times, 1.0)), dueFrame(times, 1.0));
    clock->advance(0.5);
    EXPECT_NEAR(graph->get_CurrentPosition(), 1.5, 1e-9);
    EXPECT_EQ(waitForFrame(dueFrame(times, 1.5)), dueFrame(times, 1.5));
}

TEST_F(FfmpegGraphTest, rateTwo_advancesTwiceAsFast) {
    auto graph = open(TestMedia::wmv2WithAudio());
    graph->put_Rate(2.0);
    EXPECT_EQ(graph->get_Rate(), 2.0);
    graph->Run();
    clock->advance(1.0);
    EXPECT_NEAR(graph->get_CurrentPosition(), 2.0, 1e-9);
    EXPECT_THROW(graph->put_Rate(0.0), Failure);
}

TEST_F(FfmpegGraphTest, otherSpeeds_keepThePitch_andPlayTheSoundInTheClocksTime) {
    for (const double rate : {2.0, 0.5}) {
        auto graph = open(TestMedia::wmv2WithAudio(), false);
        graph->put_Rate(rate);
        graph->put_CurrentPosition(0.0);
        graph->Run();
        ASSERT_TRUE(playToTheEnd(*graph)) << rate;
        const std::vector<float> heard = captured->samplesSinceDiscard();
        const int sampleRate = captured->sampleRate();
        // 4 s of media take 4 / rate s to play.
        EXPECT_NEAR(heard.size() / 2.0 / sampleRate, 4.0 / rate, 0.03 * 4.0 / rate) << rate;
        const std::size_t settled = sampleRate / 4;
        EXPECT_NEAR(test::ToneMeter::frequency(heard, 0, sampleRate, settled), 440.0, 8.8) << rate;
        EXPECT_NEAR(test::ToneMeter::frequency(heard, 1, sampleRate, settled), 440.0, 8.8) << rate;
    }
}

TEST_F(FfmpegGraphTest, volumeAndBalance_scaleTheSamplesProduced) {
    // Each level is measured over the whole file, written after the levels were set.
    const auto measure = [this](std::int32_t volume, std::int32_t balance) {
        auto graph = open(TestMedia::wmv2WithAudio(), false);
        graph->put_Volume(volume);
        graph->put_Balance(balance);
        EXPECT_EQ(graph->get_Volume(), volume);
        EXPECT_EQ(graph->get_Balance(), balance);
        graph->put_CurrentPosition(0.0);
        graph->Run();
        EXPECT_TRUE(playToTheEnd(*graph));
        const auto samples = captured->samples();
        const std::size_t settled = samples.size() / 4;  // skips sound decoded before the seek
        return std::pair(rms(samples, 0, settled), rms(samples, 1, settled));
    };
    const auto [fullLeft, fullRight] = measure(0, 0);
    ASSERT_GT(fullLeft, 0.01);
    EXPECT_NEAR(fullLeft, fullRight, fullLeft * 0.01);
    const auto [quietLeft, quietRight] = measure(-2000, 0);
    EXPECT_NEAR(decibels(quietLeft, fullLeft), -20.0, 0.5);
    EXPECT_NEAR(decibels(quietRight, fullRight), -20.0, 0.5);
    const auto [rightOnlyLeft, rightOnlyRight] = measure(0, 10000);
    EXPECT_EQ(rightOnlyLeft, 0.0);
    EXPECT_NEAR(decibels(rightOnlyRight, fullRight), 0.0, 0.5);
    const auto [leftLeft, leftRight] = measure(0, -3000);
    EXPECT_NEAR(decibels(leftLeft, fullLeft), 0.0, 0.5);
    EXPECT_NEAR(decibels(leftRight, fullRight), -30.0, 0.5);
    const auto [silentLeft, silentRight] = measure(-10000, 0);
    EXPECT_EQ(silentLeft, 0.0);
    EXPECT_EQ(silentRight, 0.0);
}

TEST_F(FfmpegGraphTest, renderFile_reportsNativeSizeAndDuration_ofGeneratedFiles) {
    struct Case {
        std::string path;
        int width, height;
    };
    for (const Case& c :
         {Case{TestMedia::wmv2WithAudio(), 352, 288}, Case{TestMedia::msmpeg4NoAudio(), 704, 576},
          Case{TestMedia::killedRecording(), 352, 288}}) {
        auto graph = open(c.path, false);
        EXPECT_EQ(graph->get_Width(), c.width) << c.path;
        EXPECT_EQ(graph->get_Height(), c.height) << c.path;
        // One picture, and the writer counts the last sound packet's length once more.
        EXPECT_NEAR(graph->get_Duration(), TestMedia::lastPacketEnd(c.path), 0.04 + 0.047)
            << c.path;
    }
}

TEST_F(FfmpegGraphTest, audioOnly_hasNoVideoWindow_butPlaysToTheEnd) {
    const std::string path = TestMedia::audioOnly();
    auto graph = open(path);
    EXPECT_THROW(graph->get_Width(), Failure);
    EXPECT_THROW(graph->put_Owner(WindowHandles::handleOf(&host)), Failure);
    EXPECT_NEAR(graph->get_Duration(), TestMedia::lastPacketEnd(path), 0.05);
    graph->put_Volume(-500);
    EXPECT_EQ(graph->get_Volume(), -500);
    graph->put_CurrentPosition(1.0);
    EXPECT_DOUBLE_EQ(graph->get_CurrentPosition(), 1.0);
    graph->Run();
    EXPECT_TRUE(playToTheEnd(*graph));
}

TEST_F(FfmpegGraphTest, renderFile_failsCleanly_onGarbageAndMissingFiles) {
    for (const std::string& path : {TestMedia::garbage(), TestMedia::missing()}) {
        FfmpegGraph graph;
        EXPECT_THROW(graph.RenderFile(path), Failure) << path;
        EXPECT_THROW(graph.get_Width(), Failure);
        EXPECT_THROW(graph.get_Duration(), Failure);
        EXPECT_THROW(graph.Run(), Failure);
        EXPECT_THROW(graph.put_Volume(0), Failure);
        EXPECT_THROW(graph.WaitForCompletion(0), Failure);
        EXPECT_NO_THROW(graph.Stop());                 // tearing down a failed graph stops it
        graph.RenderFile(TestMedia::wmv2WithAudio());  // a failed load leaves nothing behind
        EXPECT_EQ(graph.get_Width(), 352);
    }
}

TEST_F(FfmpegGraphTest, renderFile_opensTheNamedFile_whateverItsNameLooksLike) {
    const std::filesystem::path dir =
        TestMedia::directory() + "/odd-names-" + std::to_string(QCoreApplication::applicationPid());
    std::filesystem::create_directories(dir);
    const std::filesystem::path previous = std::filesystem::current_path();
    std::filesystem::current_path(dir);
    // A relative name that reads like a protocol opens the file of that name.
    std::filesystem::copy_file(TestMedia::msmpeg4NoAudio(), "cam:1.asf");
    FfmpegGraph named;
    EXPECT_NO_THROW(named.RenderFile("cam:1.asf"));
    // A pipe is refused at once instead of blocking the open.
    ASSERT_EQ(mkfifo("pipe.asf", 0600), 0);
    FfmpegGraph piped;
    QElapsedTimer timer;
    timer.start();
    EXPECT_THROW(piped.RenderFile("pipe.asf"), Failure);
    EXPECT_LT(timer.elapsed(), 3000);  // far below the open's time limit, even when busy
    std::filesystem::current_path(previous);
    std::filesystem::remove_all(dir);
    EXPECT_EQ(named.get_Width(), 704);
}

TEST_F(FfmpegGraphTest, videoWindow_paintsThePictureInsideItsRectangleOfTheHost) {
    const std::string path = TestMedia::wmv2WithAudio();
    auto graph = open(path);
    graph->SetWindowPosition(30, 20, 200, 160);
    graph->put_CurrentPosition(1.0);
    const int expected = dueFrame(TestMedia::videoPacketTimes(path), 1.0);
    QImage image;
    EXPECT_TRUE(eventually([&] {
        image = PictureReader::grab(&host);
        return PictureReader::findPicture(image) == QRect(30, 20, 200, 160) &&
               PictureReader::readFrameIndex(image, QRect(30, 20, 200, 160)) == expected;
    })) << "found "
        << PictureReader::findPicture(image).x() << "," << PictureReader::findPicture(image).y()
        << " " << PictureReader::findPicture(image).width() << "x"
        << PictureReader::findPicture(image).height();
    EXPECT_TRUE(PictureReader::blackOutside(image, QRect(30, 20, 200, 160)));
    std::int32_t left, top, width, height;
    graph->GetWindowPosition(left, top, width, height);
    EXPECT_EQ(QRect(left, top, width, height), QRect(30, 20, 200, 160));
}

TEST_F(FfmpegGraphTest, step_showsTheNextAndPreviousPicture) {
    const std::string path = TestMedia::wmv2WithAudio();
    const auto times = TestMedia::videoPacketTimes(path);
    auto graph = open(path);
    graph->put_CurrentPosition(times[10]);
    EXPECT_EQ(waitForFrame(10), 10);
    graph->Step(1);
    EXPECT_EQ(waitForFrame(11), 11);
    EXPECT_NEAR(graph->get_CurrentPosition(), times[11], 1e-6);
    graph->Step(2);
    EXPECT_EQ(waitForFrame(13), 13);
    graph->Step(-1);
    EXPECT_EQ(waitForFrame(12), 12);
    EXPECT_NEAR(graph->get_CurrentPosition(), times[12], 1e-6);
    graph->Step(-3);
    EXPECT_EQ(waitForFrame(9), 9);
}

TEST_F(FfmpegGraphTest, soundReportedFromBeforeASeek_neverMovesTheClock) {
    auto graph = openWithDevice(TestMedia::wmv2WithAudio());
    graph->Run();
    playWithDevice(3.0);
    ASSERT_GT(graph->get_CurrentPosition(), 2.5);
    // The sound thread stops just before it tells the clock what is heard, at 3 s...
    device->blockNextLatency();
    playWithDevice(0.05);
    ASSERT_TRUE(device->waitUntilBlocked());
    // ...the user seeks back, and the seek's first picture lets the clock run...
    graph->put_CurrentPosition(0.5);
    ASSERT_TRUE(eventually([&] { return std::abs(graph->shownPictureTime() - 0.5) < 0.03; }));
    // ...then the old report arrives: it must not undo the seek.
    device->unblock();
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_DOUBLE_EQ(graph->get_CurrentPosition(), 0.5);
}

TEST_F(FfmpegGraphTest, soundDeviceThatStopsTakingSound_neverHoldsThePictures) {
    // As after a restart from the end at volume 0: the stream is resumed right after the
    // seek to 0, and the device takes none of the sound written to it, for good.
    auto graph = openWithDevice(TestMedia::wmv2WithAudio());
    graph->put_Volume(-10000);
    graph->Run();
    playWithDevice(1.0);
    graph->Pause();
    graph->put_CurrentPosition(0.0);
    device->setStalled(true);
    graph->Run();
    double last = 0;
    for (int i = 0; i < 100; ++i) {
        clock->advance(0.01);
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
        const double now = graph->get_CurrentPosition();
        EXPECT_GE(now, last);
        last = now;
    }
    // It stood still for the sound no longer than the stall limit allows.
    EXPECT_GT(last, 1.0 - 0.3);
    EXPECT_TRUE(eventually([&] { return graph->shownPictureTime() > 0.6; }));
    // Sound that comes back joins the pictures where they are.
    device->setStalled(false);
    playWithDevice(1.0);
    EXPECT_GT(graph->get_CurrentPosition(), last + 0.7);
}

TEST_F(FfmpegGraphTest, fullScreen_leavesTheOwner_andEscOrDoubleClickBringsItBack) {
    auto graph = open(TestMedia::wmv2WithAudio());
    graph->SetWindowPosition(10, 20, 176, 144);
    QWidget* video = graph->videoWidget();
    for (int way = 0; way < 2; ++way) {
        graph->put_FullScreenMode(-1);
        EXPECT_EQ(graph->get_FullScreenMode(), -1);
        EXPECT_EQ(video->parentWidget(), nullptr);
        EXPECT_TRUE(video->isWindow());
        if (way == 0) {
            QTest::keyClick(video, Qt::Key_Escape);
        } else {
            QTest::mouseDClick(video, Qt::LeftButton);
        }
        EXPECT_EQ(graph->get_FullScreenMode(), 0);
        EXPECT_EQ(video->parentWidget(), &host);
        EXPECT_EQ(video->geometry(), QRect(10, 20, 176, 144));
        EXPECT_TRUE(video->isVisible());
    }
    EXPECT_THROW(graph->put_FullScreenMode(1), Failure);
}

// Records the input it receives, as a host window would.
class InputRecorder : public QWidget {
public:
    QList<QEvent::Type> events;
    QPoint lastPress;

protected:
    void mousePressEvent(QMouseEvent* e) override {
        events << e->type();
        lastPress = e->position().toPoint();
    }
    void keyPressEvent(QKeyEvent* e) override { events << e->type(); }
};

TEST_F(FfmpegGraphTest, messageDrain_receivesTheVideoWindowsInput) {
    auto graph = open(TestMedia::wmv2WithAudio());
    graph->SetWindowPosition(10, 20, 176, 144);
    InputRecorder drain;
    drain.setParent(&host);
    drain.setGeometry(0, 0, 400, 320);
    drain.lower();
    graph->put_MessageDrain(WindowHandles::handleOf(&drain));
    QTest::mouseClick(graph->videoWidget(), Qt::LeftButton, {}, QPoint(5, 6));
    QTest::keyClick(graph->videoWidget(), Qt::Key_Space);
    EXPECT_TRUE(drain.events.contains(QEvent::MouseButtonPress));
    EXPECT_TRUE(drain.events.contains(QEvent::KeyPress));
    EXPECT_EQ(drain.lastPress, QPoint(15, 26));  // in the drain's own coordinates
    graph->put_MessageDrain(0);
    drain.events.clear();
    QTest::keyClick(graph->videoWidget(), Qt::Key_Space);
    EXPECT_TRUE(drain.events.isEmpty());
}

TEST_F(FfmpegGraphTest, videoWindow_survivesItsOwner_andStandsAloneWithoutOne) {
    auto graph = open(TestMedia::wmv2WithAudio(), false);
    graph->put_Owner(0);  // no owner is not a failure
    graph->put_WindowStyle(IVideoWindow::kStyleVisible);
    graph->Run();
    EXPECT_TRUE(graph->videoWidget()->isWindow());
    EXPECT_TRUE(graph->videoWidget()->isVisible());
    auto owner = std::make_unique<QWidget>();
    graph->put_Owner(WindowHandles::handleOf(owner.get()));
    EXPECT_EQ(graph->videoWidget()->parentWidget(), owner.get());
    owner.reset();  // takes the video window with it
    EXPECT_THROW(graph->put_Width(100), Failure);
    clock->advance(1.0);
    EXPECT_NEAR(graph->get_CurrentPosition(), 1.0, 1e-9);
    EXPECT_THROW(graph->put_Owner(123456), Failure);  // a handle never issued
}

TEST_F(FfmpegGraphTest, tenHourRecording_seeksToItsLastHours) {
    const std::string path = TestMedia::tenHourRecording();
    auto graph = open(path);
    EXPECT_NEAR(graph->get_Duration(), 36000.0, 1.5);
    for (double target : {7 * 3600.0 + 0.5, 9.9 * 3600.0 + 0.5, 2.0 * 3600 + 0.5}) {
        graph->put_CurrentPosition(target);
        const int expected = static_cast<int>(target);  // one picture a second from 0
        EXPECT_EQ(waitForFrame(expected), expected);
    }
}

TEST_F(FfmpegGraphTest, fastRates_keepThePicturesMoving_withoutSound) {
    const std::string path = TestMedia::wmv2WithAudio();
    const auto times = TestMedia::videoPacketTimes(path);
    auto graph = open(path);
    graph->put_Rate(16.0);
    graph->put_CurrentPosition(0.5);
    graph->Run();
    ASSERT_EQ(waitForFrame(dueFrame(times, 0.5)), dueFrame(times, 0.5));  // the seek is done
    captured->clear();
    clock->advance(0.125);  // 2 s of media
    EXPECT_EQ(waitForFrame(dueFrame(times, 2.5)), dueFrame(times, 2.5));
    EXPECT_TRUE(captured->samples().empty());
    graph->put_Rate(0.125);
    clock->advance(1.0);
    EXPECT_NEAR(graph->get_CurrentPosition(), 2.625, 1e-9);
}

TEST_F(FfmpegGraphTest, fastRates_skipPicturesWhenBehind_yetPauseAndStepShowTheExactPicture) {
    MediaRecipe recipe;
    recipe.width = 704;
    recipe.height = 576;
    recipe.seconds = 16;
    recipe.gop = 25;  // a key frame every second
    recipe.audio = false;
    const std::string path = TestMedia::make(recipe);
    const auto times = TestMedia::videoPacketTimes(path);
    auto graph = open(path);
    ASSERT_EQ(waitForFrame(0), 0);
    graph->Run();
    // Every picture decoded in time: none is left out.
    for (int frame = 1; frame <= 25; ++frame) {
        clock->set(times[frame]);
        ASSERT_EQ(waitForFrame(frame), frame);
    }
    // A leap of the clock that the decoder makes up for is no reason to leave pictures out.
    clock->advance(1.0);
    EXPECT_EQ(waitForFrame(50), 50);
    EXPECT_EQ(graph->skippingPackets(), 0u);

    // At 16x the clock moves 32 pictures on whenever one more is shown: more than the decoder
    // makes up even from key frame to key frame (25 apart), so it stays with key frames only
    // rather than catching up and falling back again.
    graph->put_Rate(16.0);
    const auto keyFramesOnly = [&] {
        const int due = dueFrame(times, graph->get_CurrentPosition());
        return graph->skippingPackets() > 0 && frameShown() % 25 == 0 && due % 25 != 0;
    };
    while (!keyFramesOnly() && graph->get_CurrentPosition() < 14) {
        clock->advance(0.08);
        const int from = frameShown();
        eventually([&] { return frameShown() != from; }, 1000);
    }
    ASSERT_TRUE(keyFramesOnly());
    const double stop = graph->get_CurrentPosition();
    const int due = dueFrame(times, stop);
    // The panel keeps up with the clock: the last key frame before it is on show, and the
    // pictures after it, the one due among them, are left out.
    EXPECT_EQ(waitForFrame(due - due % 25), due - due % 25);

    graph->Pause();
    EXPECT_EQ(waitForFrame(due), due);
    EXPECT_NEAR(graph->get_CurrentPosition(), stop, 1e-9);
    graph->Step(1);
    EXPECT_EQ(waitForFrame(due + 1), due + 1);
    graph->Step(1);
    EXPECT_EQ(waitForFrame(due + 2), due + 2);
}

TEST_F(FfmpegGraphTest, realSamples_openOrFailCleanly_andPlayToTheEnd) {
    for (const auto& entry : std::filesystem::directory_iterator(kSamples)) {
        const std::string path = entry.path().string();
        const std::string ext = entry.path().extension().string();
        if (ext != ".asf" && ext != ".wmv" && ext != ".wma") continue;
        std::shared_ptr<FfmpegGraph> graph;
        try {
            graph = open(path, false);
        } catch (const Failure&) {
            continue;  // refused cleanly
        }
        SCOPED_TRACE(path);
        if (graph->videoWidget() != nullptr) {
            EXPECT_GT(graph->get_Width(), 0);
            EXPECT_GT(graph->get_Height(), 0);
        } else {
            EXPECT_THROW(graph->get_Width(), Failure);
        }
        const double duration = graph->get_Duration();
        EXPECT_GE(duration, 0.0);
        graph->put_Rate(16.0);
        graph->put_CurrentPosition(duration / 2);
        graph->Run();
        EXPECT_TRUE(eventually(
            [&] {
                clock->advance(0.5);
                return graph->WaitForCompletion(0) == IMediaEvent::kComplete;
            },
            10000))
            << graph->GetErrorText();
    }
}

TEST_F(FfmpegGraphTest, realSamples_reportTheirNativeSize) {
    for (const char* name :
         {"moon_timecode-short-wmv8.wmv", "moon_timecode-short-vc1-adv.wmv",
          "moon_elephants-dream-320x180-first-minute.wmv", "mimetype_asf_full.asf"}) {
        const std::string path = kSamples + "/" + name;
        QProcess probe;
        probe.start("ffprobe",
                    {"-v", "error", "-select_streams", "v:0", "-show_entries",
                     "stream=width,height", "-of", "csv=p=0", QString::fromStdString(path)});
        ASSERT_TRUE(probe.waitForFinished(30000));
        const QStringList size = QString(probe.readAllStandardOutput()).trimmed().split(',');
        ASSERT_EQ(size.size(), 2) << name;
        auto graph = open(path, false);
        EXPECT_EQ(graph->get_Width(), size[0].toInt()) << name;
        EXPECT_EQ(graph->get_Height(), size[1].toInt()) << name;
    }
}

TEST(FfmpegGraphFactoryRealTimeTest, currentFactory_playsInRealTime_andTearsDownQuickly) {
    QWidget host;
    host.resize(352, 288);
    host.show();
    auto graph = GraphFactory::current()->CreateFilgraphManager();
    auto control = graph->QueryMediaControl();
    auto position = graph->QueryMediaPosition();
    auto window = graph->QueryVideoWindow();
    graph.reset();  // the interfaces keep the graph alive
    control->RenderFile(TestMedia::wmv2WithAudio());
    window->put_WindowStyle(IVideoWindow::kStyleVisible);
    window->put_Owner(WindowHandles::handleOf(&host));
    control->Run();
    // A sound server may start a stream late, and the clock waits for the sound: the pace
    // is measured once the position moves, over a span long enough that a busy machine's
    // scheduling delays are small beside it.
    ASSERT_TRUE(eventually([&] { return position->get_CurrentPosition() > 0.1; }, 5000));
    QElapsedTimer playing;
    playing.start();
    const double from = position->get_CurrentPosition();
    EXPECT_TRUE(eventually([&] { return playing.elapsed() > 1500; }));
    const double pace = (position->get_CurrentPosition() - from) / (playing.elapsed() / 1000.0);
    // Real time, whether the sound card or the silent output paces it.
    EXPECT_NEAR(pace, 1.0, 0.2);
    EXPECT_EQ(PictureReader::findPicture(PictureReader::grab(&host)), QRect(0, 0, 352, 288));
    QElapsedTimer timer;
    timer.start();
    control.reset();
    position.reset();
    window.reset();
    // Quick means that no thread waits out a timeout of its own; a loaded machine may
    // still take a while to schedule each of them.
    EXPECT_LT(timer.elapsed(), 2000);
    EXPECT_TRUE(host.findChildren<QWidget*>().isEmpty());  // the video window went with it
}

std::size_t countEntries(const char* directory) {
    return static_cast<std::size_t>(std::distance(std::filesystem::directory_iterator(directory),
                                                  std::filesystem::directory_iterator()));
}

long residentKilobytes() {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);) {
        if (line.rfind("VmRSS:", 0) == 0) return std::stol(line.substr(6));
    }
    return 0;
}

TEST(FfmpegGraphResourcesRealTimeTest, manyGraphs_leaveNoThreadsDescriptorsOrMemoryBehind) {
    QWidget host;
    host.resize(352, 288);
    host.show();
    const std::string path = TestMedia::wmv2WithAudio();
    const auto cycle = [&](int i) {
        auto graph = GraphFactory::current()->CreateFilgraphManager();
        graph->RenderFile(path);
        graph->put_WindowStyle(IVideoWindow::kStyleVisible);
        graph->put_Owner(WindowHandles::handleOf(&host));
        graph->Run();
        graph->put_CurrentPosition(0.5 + (i % 7) * 0.4);
        auto* ffmpeg = dynamic_cast<FfmpegGraph*>(graph.get());
        EXPECT_TRUE(eventually([&] { return ffmpeg->shownPictureTime() >= 0.45; }, 3000));
        QApplication::processEvents();
    };
    for (int i = 0; i < 10; ++i) cycle(i);  // one-off allocations of the libraries
    QApplication::processEvents();
    const std::size_t threads = countEntries("/proc/self/task");
    const std::size_t descriptors = countEntries("/proc/self/fd");
    [[maybe_unused]] const long memory = residentKilobytes();
    for (int i = 0; i < 200; ++i) cycle(i);
    QApplication::processEvents();
    EXPECT_TRUE(eventually([&] { return countEntries("/proc/self/task") <= threads; }, 2000))
        << countEntries("/proc/self/task") << " threads, were " << threads;
    EXPECT_LE(countEntries("/proc/self/fd"), descriptors);
#ifndef __SANITIZE_ADDRESS__  // the sanitizer keeps freed memory in quarantine
    EXPECT_LT(residentKilobytes() - memory, 24 * 1024) << "RSS grew from " << memory << " kB";
#endif
}

// How quick it is, is measured in bench/; here only that it comes well within the open's
// time limit, on a machine however busy.
TEST(FfmpegGraphResourcesRealTimeTest, renderFileToFirstPicture_comesWithinTheOpenLimit) {
    QWidget host;
    host.resize(704, 576);
    host.show();
    for (const std::string& path : {TestMedia::wmv2WithAudio(), TestMedia::msmpeg4NoAudio(),
                                    TestMedia::killedRecording(), TestMedia::tenHourRecording()}) {
        QElapsedTimer timer;
        timer.start();
        auto graph = GraphFactory::current()->CreateFilgraphManager();
        graph->RenderFile(path);
        const qint64 rendered = timer.elapsed();
        graph->put_WindowStyle(IVideoWindow::kStyleVisible);
        graph->put_Owner(WindowHandles::handleOf(&host));
        EXPECT_TRUE(eventually(
            [&] { return !PictureReader::findPicture(PictureReader::grab(&host)).isEmpty(); }));
        const qint64 shown = timer.elapsed();
        std::cout << "[ timing   ] " << std::filesystem::path(path).filename().string()
                  << ": RenderFile " << rendered << " ms, first picture shown " << shown << " ms\n";
        EXPECT_LT(shown, 10000);
    }
}

// Runs only where an audio device exists (the test script may provide a null sink).
TEST(QtAudioOutputRealTimeTest, defaultDevice_consumesWhilePlaying_andHoldsWhilePaused) {
    std::unique_ptr<QtAudioOutput> output;
    try {
        output = std::make_unique<QtAudioOutput>();
    } catch (const Failure&) {
        GTEST_SKIP() << "no audio device";
    }
    const std::size_t room = output->writable();
    ASSERT_GT(room, 0u);
    std::vector<float> tone(room * 2);
    for (std::size_t i = 0; i < room; ++i)
        tone[2 * i] = tone[2 * i + 1] = 0.1f * std::sin(i * 2 * M_PI * 440 / output->sampleRate());
    output->write(tone.data(), room);
    EXPECT_EQ(output->writable(), 0u);
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_EQ(output->writable(), 0u);  // paused: nothing heard, nothing consumed
    output->setPlaying(true);
    EXPECT_TRUE(eventually([&] { return output->writable() == room; }, 3000));
    EXPECT_GT(output->latency(), 0.0);
}

// The streams the sound server holds for this process's clients, or -1 without its tools.
int soundStreams() {
    QProcess list;
    list.start("pactl", {"list", "short", "sink-inputs"});
    if (!list.waitForFinished(3000) || list.exitCode() != 0) return -1;
    return static_cast<int>(list.readAllStandardOutput().count('\n'));
}

// The stream is made once there is sound for it, so that the server's work stays off a
// click; a play asked for before that is kept.
TEST(QtAudioOutputRealTimeTest, stream_startsWithTheFirstSound_andPlaysAsAskedBefore) {
    const int before = soundStreams();
    std::unique_ptr<QtAudioOutput> output;
    try {
        output = std::make_unique<QtAudioOutput>();
    } catch (const Failure&) {
        GTEST_SKIP() << "no audio device";
    }
    if (before < 0) GTEST_SKIP() << "no sound server tools";
    output->setPlaying(true);
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_EQ(soundStreams(), before);
    const std::size_t room = output->writable();
    const std::vector<float> silence(room * 2, 0.0f);
    output->write(silence.data(), room);
    EXPECT_TRUE(eventually([&] { return soundStreams() == before + 1; }, 3000));
    EXPECT_TRUE(eventually([&] { return output->writable() == room; }, 3000));
}

// What the sound card plays, recorded from its monitor where the test machine has a
// PulseAudio server (a null sink will do).
TEST(QtAudioOutputRealTimeTest, playback_isHeardOnTheDevice_withBalanceApplied) {
    try {
        QtAudioOutput probe;
    } catch (const Failure&) {
        GTEST_SKIP() << "no audio device";
    }
    QProcess recorder;
    QByteArray raw;
    QObject::connect(&recorder, &QProcess::readyReadStandardOutput,
                     [&] { raw += recorder.readAllStandardOutput(); });
    recorder.start("parec", {"--raw", "--format=float32le", "--channels=2", "--rate=44100",
                             "--latency-msec=20", "-d", "@DEFAULT_MONITOR@"});
    if (!recorder.waitForStarted(3000)) GTEST_SKIP() << "cannot record the device";
    // The recorder connects to the server in its own time; play only once it is listening.
    if (!eventually([&] { return !raw.isEmpty(); }, 5000)) GTEST_SKIP() << "the monitor is mute";
    raw.clear();
    auto graph = GraphFactory::current()->CreateFilgraphManager();
    graph->RenderFile(TestMedia::wmv2WithAudio());
    graph->put_Balance(10000);  // left silent
    graph->Run();
    const qsizetype oneAndAHalfSeconds = 44100 * 2 * sizeof(float) * 3 / 2;
    eventually([&] { return raw.size() > oneAndAHalfSeconds; }, 5000);
    graph.reset();
    recorder.terminate();
    recorder.waitForFinished(3000);
    std::vector<float> samples(static_cast<std::size_t>(raw.size()) / sizeof(float));
    std::memcpy(samples.data(), raw.constData(), samples.size() * sizeof(float));
    ASSERT_GT(samples.size(), 44100u);
    EXPECT_GT(rms(samples, 1, 0), 0.01);  // the tone on the right
    EXPECT_LT(rms(samples, 0, 0), 0.0005);
}

// The clock on a real sound server: it follows the sound, so it must still never go
// back, keep the media's pace, and resume exactly where a pause froze it.
TEST(QtAudioOutputRealTimeTest, clockOnTheDevice_neverGoesBack_keepsPace_andResumesWhereItPaused) {
    try {
        QtAudioOutput probe;
    } catch (const Failure&) {
        GTEST_SKIP() << "no audio device";
    }
    MediaRecipe recipe;
    recipe.width = 176;
    recipe.height = 144;
    recipe.seconds = 12;
    auto graph = GraphFactory::current()->CreateFilgraphManager();
    graph->RenderFile(TestMedia::make(recipe));
    double last = 0;
    bool wentBack = false;
    auto watch = [&](int ms) {
        QElapsedTimer timer;
        timer.start();
        while (timer.elapsed() < ms) {
            const double now = graph->get_CurrentPosition();
            if (now < last) {
                wentBack = true;
                ADD_FAILURE() << "went back from " << last << " to " << now;
            }
            last = now;
            QApplication::processEvents();
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
    };
    graph->Run();
    // A server may start a stream late; the clock waits for the sound.
    ASSERT_TRUE(eventually([&] { return graph->get_CurrentPosition() > 0.5; }, 5000));
    watch(300);
    QElapsedTimer wall;
    wall.start();
    const double from = graph->get_CurrentPosition();
    watch(3000);
    const double pace = (graph->get_CurrentPosition() - from) / (wall.elapsed() / 1000.0);
    EXPECT_NEAR(pace, 1.0, 0.08);

    graph->Pause();
    const double paused = graph->get_CurrentPosition();
    watch(300);
    EXPECT_DOUBLE_EQ(graph->get_CurrentPosition(), paused);
    graph->Run();
    EXPECT_GE(graph->get_CurrentPosition(), paused);
    watch(1500);
    EXPECT_GT(graph->get_CurrentPosition(), paused + 0.3);
    EXPECT_FALSE(wentBack);
}

}  // namespace
}  // namespace corvid
