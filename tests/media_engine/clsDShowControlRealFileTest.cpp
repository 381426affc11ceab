#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QWidget>
#include <chrono>
#include <functional>
#include <string>
#include <thread>

#include "media_engine/clsDShowControl.h"
#include "platform/graph/FfmpegGraph.h"
#include "platform/graph/IGraphFactory.h"
#include "platform/widgets/WindowHandles.h"
#include "support/ManualClockGraphFactory.h"
#include "support/PictureReader.h"
#include "support/TestMedia.h"
#include "util/Attempt.h"

namespace corvid {
namespace {

using test::MediaRecipe;
using test::PictureReader;
using test::TestMedia;

// A recording long enough to play at high speed for a while.
std::string twentySecondRecording() {
    MediaRecipe recipe;
    recipe.seconds = 20.0;
    return TestMedia::make(recipe);
}

// Polls until the condition holds or the time is up, keeping the event loop turning.
bool waitFor(const std::function<bool()>& condition, int timeoutMs) {
    QElapsedTimer timer;
    timer.start();
    while (!condition()) {
        if (timer.elapsed() > timeoutMs) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    return true;
}

// The engine on the FFmpeg graph, with generated files.
class clsDShowControlRealFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        host.resize(400, 300);
        host.show();
    }

    void open(const std::string& file) {
        engine.DS_OpenFile(QString::fromStdString(file), 0, 0, 400, 300,
                           WindowHandles::handleOf(&host));
    }

    QWidget host;
    clsDShowControl engine{GraphFactory::current()};
};

// The same, playing in real time on the sound device.
class clsDShowControlRealTimeTest : public clsDShowControlRealFileTest {};

TEST_F(clsDShowControlRealFileTest, openFile_recordsNativeSize_whenFileHasVideo) {
    open(TestMedia::wmv2WithAudio());
    EXPECT_FALSE(engine.IsAudioOnly);
    EXPECT_EQ(engine.orgmwidth, 352);
    EXPECT_EQ(engine.orgmheight, 288);
    EXPECT_NEAR(engine.DS_GetDuration(), 4.0, 0.2);
    EXPECT_EQ(engine.DS_GetVolume(), 100);
    EXPECT_EQ(engine.DS_GetRate(), 1.0);

    // No sound: the volume steps fail, yet the size read afterwards decides.
    open(TestMedia::msmpeg4NoAudio());
    EXPECT_FALSE(engine.IsAudioOnly);
    EXPECT_EQ(engine.orgmwidth, 704);
    EXPECT_EQ(engine.orgmheight, 576);
    EXPECT_NEAR(engine.DS_GetDuration(), 3.0, 0.2);
}

TEST_F(clsDShowControlRealFileTest, openFile_marksAudioOnly_whenFileHasNoVideo) {
    open(TestMedia::audioOnly());
    EXPECT_TRUE(engine.IsAudioOnly);
    EXPECT_EQ(engine.orgmwidth, 0);
    EXPECT_EQ(engine.orgmheight, 0);
    EXPECT_NEAR(engine.DS_GetDuration(), 3.0, 0.2);
    engine.DS_SetVolume(40);
    EXPECT_EQ(engine.DS_GetVolume(), 40);
    EXPECT_NO_THROW(engine.DS_CorrectAspect(400, 300));
}

TEST_F(clsDShowControlRealFileTest, openFile_neverThrows_whenFileCannotBePlayed) {
    for (const std::string& file : {TestMedia::garbage(), TestMedia::missing()}) {
        SCOPED_TRACE(file);
        engine.IsAudioOnly = false;
        EXPECT_NO_THROW(open(file));
        EXPECT_TRUE(engine.IsAudioOnly);
        EXPECT_EQ(engine.orgmwidth, 0);
        EXPECT_EQ(engine.orgmheight, 0);
        EXPECT_EQ(engine.MediaFile, QString::fromStdString(file));
    }
}

TEST_F(clsDShowControlRealTimeTest, transport_movesRealPosition) {
    open(TestMedia::wmv2WithAudio());
    const double duration = engine.DS_GetDuration();

    engine.DS_SetPosition(2.0);
    EXPECT_NEAR(engine.DS_GetPosition(), 2.0, 0.05);
    engine.DS_Seek(-0.5);
    EXPECT_NEAR(engine.DS_GetPosition(), 1.5, 0.05);
    engine.DS_Seek(-5);
    EXPECT_NEAR(engine.DS_GetPosition(), 0.0, 0.05);
    engine.DS_SetPosition(duration + 10);
    EXPECT_NEAR(engine.DS_GetPosition(), duration, 0.05);

    // From the end, play starts again from the beginning and runs on.
    engine.DS_Play();
    EXPECT_LT(engine.DS_GetPosition(), 1.0);
    EXPECT_TRUE(waitFor([&] { return engine.DS_GetPosition() > 0.5; }, 5000));
    EXPECT_TRUE(engine.DS_StillPlaying(0));

    engine.DS_Pause();
    const double paused = engine.DS_GetPosition();
    EXPECT_GT(paused, 0.5);
    engine.DS_Stop();
    EXPECT_NEAR(engine.DS_GetPosition(), 0.0, 0.05);
    EXPECT_FALSE(engine.DS_Playing);
}

TEST_F(clsDShowControlRealTimeTest, stillPlaying_turnsFalseAtEnd) {
    open(TestMedia::wmv2WithAudio());
    // Far enough from the end that play does not count it as the end and restart.
    engine.DS_SetPosition(engine.DS_GetDuration() - 0.8);
    engine.DS_Play();
    EXPECT_GT(engine.DS_GetPosition(), 2.0);
    EXPECT_TRUE(engine.DS_StillPlaying(0));
    EXPECT_TRUE(waitFor([&] { return !engine.DS_StillPlaying(50); }, 5000));
    EXPECT_TRUE(engine.DS_Playing);  // reaching the end leaves the owner's flag alone
}

TEST_F(clsDShowControlRealFileTest, secondOpen_resetsVolumeBalanceAndRate) {
    open(TestMedia::wmv2WithAudio());
    engine.DS_SetVolume(30);
    engine.DS_SetBalance(-4000);
    engine.DS_Play();
    ASSERT_EQ(engine.DS_GetVolume(), 30);
    ASSERT_EQ(engine.DS_GetBalance(), -4000);

    open(TestMedia::wmv2WithAudio());
    EXPECT_EQ(engine.DS_GetVolume(), 100);
    EXPECT_EQ(engine.DS_GetBalance(), 0);
    EXPECT_EQ(engine.DS_GetRate(), 1.0);
    EXPECT_NEAR(engine.DS_GetPosition(), 0.0, 0.05);
}

TEST_F(clsDShowControlRealFileTest, openFile_givesConsistentOutcome_forRealWorldSamples) {
    const QDir samples(QStringLiteral(CORVID_SAMPLES_DIR));
    const QStringList files = samples.entryList({"*.asf", "*.wmv", "*.wma"}, QDir::Files);
    ASSERT_FALSE(files.isEmpty());
    for (const QString& name : files) {
        SCOPED_TRACE(name.toStdString());
        EXPECT_NO_THROW(open(samples.filePath(name).toStdString()));
        EXPECT_EQ(engine.IsAudioOnly, engine.orgmheight == 0);
        if (name.endsWith(QLatin1String(".wma"))) {
            EXPECT_TRUE(engine.IsAudioOnly);
        }
        if (!engine.IsAudioOnly) {
            EXPECT_GT(engine.orgmwidth, 0);
            EXPECT_NO_THROW(engine.DS_CorrectAspect(400, 300));
        }
        double duration = 0.0;
        if (!attempt([&] { duration = engine.DS_GetDuration(); }) || duration <= 0.0) continue;
        engine.DS_SetPosition(duration / 2);
        EXPECT_NEAR(engine.DS_GetPosition(), duration / 2, 0.05);
    }
}

TEST_F(clsDShowControlRealTimeTest, stepFrame_showsNextAndPreviousPicture_evenFromPlaying) {
    const std::string path = TestMedia::wmv2WithAudio();
    const auto times = TestMedia::videoPacketTimes(path);
    const double halfFrame = (times[1] - times[0]) / 2;
    open(path);
    engine.DS_CorrectAspect(400, 300);
    const auto shows = [&](int frame) {
        return waitFor([&] { return PictureReader::frameShownIn(&host) == frame; }, 5000);
    };
    engine.DS_SetPosition(times[10]);
    ASSERT_TRUE(shows(10));
    for (int i = 0; i < 5; ++i) engine.DS_StepFrame(1);
    EXPECT_TRUE(shows(15));
    EXPECT_NEAR(engine.DS_GetPosition(), times[15], halfFrame);
    engine.DS_StepFrame(-1);
    EXPECT_TRUE(shows(14));
    EXPECT_NEAR(engine.DS_GetPosition(), times[14], halfFrame);

    // From playing, a step pauses first and then moves on from the picture on show.
    engine.DS_Play();
    ASSERT_TRUE(waitFor([&] { return engine.DS_GetPosition() > times[20]; }, 5000));
    engine.DS_StepFrame(1);
    EXPECT_FALSE(engine.DS_Playing);
    const int stepped = PictureReader::frameShownIn(&host);
    EXPECT_NEAR(engine.DS_GetPosition(), times[stepped], halfFrame);
    QElapsedTimer still;
    still.start();
    waitFor([&] { return still.elapsed() > 300; }, 1000);
    EXPECT_EQ(PictureReader::frameShownIn(&host), stepped);
}

TEST_F(clsDShowControlRealFileTest, setRate_movesPositionAtThatSpeed) {
    auto factory = std::make_shared<ManualClockGraphFactory>();
    clsDShowControl capturing{factory};
    capturing.DS_OpenFile(QString::fromStdString(twentySecondRecording()), 0, 0, 400, 300,
                          WindowHandles::handleOf(&host));
    capturing.DS_SetRate(4.0);
    capturing.DS_Play();
    const double start = capturing.DS_GetPosition();
    factory->clock->advance(1.5);
    EXPECT_NEAR(capturing.DS_GetPosition() - start, 6.0, 1e-6);
    capturing.DS_SetRate(0.5);
    factory->clock->advance(2.0);
    EXPECT_NEAR(capturing.DS_GetPosition() - start, 7.0, 1e-6);
    EXPECT_EQ(capturing.DS_GetRate(), 0.5);
}

TEST_F(clsDShowControlRealFileTest,
       setRate_keepsSoundUpToTwice_andMutesAbove_withoutTouchingVolume) {
    auto factory = std::make_shared<ManualClockGraphFactory>();
    clsDShowControl capturing{factory};
    capturing.DS_OpenFile(QString::fromStdString(twentySecondRecording()), 0, 0, 400, 300,
                          WindowHandles::handleOf(&host));
    capturing.DS_SetVolume(80);
    capturing.DS_Play();
    for (const double rate : {0.125, 0.5, 2.0, 4.0, 16.0}) {
        SCOPED_TRACE(rate);
        capturing.DS_SetRate(rate);
        capturing.DS_SetPosition(1.0);  // sound decoded at the previous rate is dropped
        QElapsedTimer superseded;       // lets a write already under way end first
        superseded.start();
        waitFor([&] { return superseded.elapsed() > 50; }, 1000);
        factory->captured->clear();
        const auto heard = [&] { return !factory->captured->samples().empty(); };
        if (rate <= 2.0) {
            EXPECT_TRUE(waitFor(
                [&] {
                    factory->clock->advance(0.01 / rate);
                    std::this_thread::sleep_for(std::chrono::milliseconds(1));
                    return heard();
                },
                5000));
        } else {
            // Two seconds of media go by, and the sound decoded meanwhile is dropped.
            ASSERT_TRUE(waitFor(
                [&] {
                    factory->clock->advance(0.01 / rate);
                    std::this_thread::sleep_for(std::chrono::milliseconds(1));
                    return capturing.DS_GetPosition() >= 3.0;
                },
                10000));
            QElapsedTimer settle;
            settle.start();
            waitFor([&] { return settle.elapsed() > 300; }, 1000);
            EXPECT_FALSE(heard());
        }
        EXPECT_EQ(capturing.DS_GetVolume(), 80);
    }
}

}  // namespace
}  // namespace corvid
