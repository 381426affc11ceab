#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QWidget>
#include <functional>
#include <string>

#include "media_engine/clsDShowControl.h"
#include "platform/Attempt.h"
#include "platform/WindowHandles.h"
#include "support/TestMedia.h"

namespace corvid {
namespace {

using test::TestMedia;

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

TEST_F(clsDShowControlRealFileTest, transport_movesRealPosition) {
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

TEST_F(clsDShowControlRealFileTest, stillPlaying_turnsFalseAtEnd) {
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

}  // namespace
}  // namespace corvid
