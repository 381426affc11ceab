#include <gtest/gtest.h>

#include <QApplication>
#include <QPointer>
#include <QScreen>
#include <QTest>
#include <algorithm>
#include <atomic>
#include <memory>

#include "platform/graph/FfmpegGraph.h"
#include "platform/graph/GraphFactory.h"
#include "player/MonotonicClock.h"
#include "player/SilentAudioOutput.h"
#include "player_control/QVRControl.h"
#include "support/MessageBoxRecorder.h"
#include "support/PictureReader.h"
#include "support/ProcessThreads.h"
#include "support/TestMedia.h"

namespace corvid {
namespace {

using test::PictureReader;
using test::TestMedia;

// What the panel's graphs send to their sound outputs.
struct SoundProbe {
    std::atomic<long> framesWritten{0};
    std::atomic<int> outputsAlive{0};
};

// A real-time silent output that reports to the probe.
class ProbedOutput : public IAudioOutput {
public:
    ProbedOutput(int rate, std::shared_ptr<SoundProbe> probe)
        : inner_(rate, std::make_shared<MonotonicClock>()), probe_(std::move(probe)) {
        ++probe_->outputsAlive;
    }
    ~ProbedOutput() override { --probe_->outputsAlive; }

    int sampleRate() const override { return inner_.sampleRate(); }
    std::size_t writable() override { return inner_.writable(); }
    void write(const float* samples, std::size_t frames) override {
        probe_->framesWritten += static_cast<long>(frames);
        inner_.write(samples, frames);
    }
    void setPlaying(bool playing) override { inner_.setPlaying(playing); }
    void discard() override { inner_.discard(); }
    double latency() override { return inner_.latency(); }
    double played() override { return inner_.played(); }
    bool drivesClock() const override { return false; }

private:
    SilentAudioOutput inner_;
    std::shared_ptr<SoundProbe> probe_;
};

class ProbedGraphFactory : public IGraphFactory {
public:
    std::shared_ptr<FilgraphManager> CreateFilgraphManager() override {
        FfmpegGraph::Options options;
        options.audioOutput = [probe = probe](int rate) {
            return std::make_unique<ProbedOutput>(rate, probe);
        };
        return std::make_shared<FfmpegGraph>(options);
    }

    std::shared_ptr<SoundProbe> probe = std::make_shared<SoundProbe>();
};

bool near(const QRect& a, const QRect& b) {
    return std::abs(a.left() - b.left()) <= 1 && std::abs(a.top() - b.top()) <= 1 &&
           std::abs(a.right() - b.right()) <= 1 && std::abs(a.bottom() - b.bottom()) <= 1;
}

class QVRControlMediaRealTimeTest : public ::testing::Test {
protected:
    QVRControlMediaRealTimeTest() {
        panel.resize(400, 300);
        panel.show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&panel));
        // The focus mark rings the surface; these tests read the picture alone. Activation
        // hands the focus to the surface, so it is taken away after it.
        EXPECT_TRUE(QTest::qWaitForWindowActive(&panel));
        if (QWidget* focused = QApplication::focusWidget()) focused->clearFocus();
    }

    // Read from what the window shows: grabbing would repaint the surface, and every
    // repaint refits the video.
    QRect pictureShown() {
        const QPoint at = panel.PicVid->mapTo(&panel, QPoint(0, 0));
        const QImage shown = panel.screen()
                                 ->grabWindow(panel.winId(), at.x(), at.y(), panel.PicVid->width(),
                                              panel.PicVid->height())
                                 .toImage();
        return PictureReader::findPicture(shown);
    }
    // Waits until the video surface shows its picture at `where`.
    bool showsPictureAt(const QRect& where) {
        return QTest::qWaitFor([&] { return near(pictureShown(), where); }, 5000);
    }

    std::shared_ptr<ProbedGraphFactory> factory = std::make_shared<ProbedGraphFactory>();
    GraphFactory::Scoped graphs{factory};
    test::MessageBoxRecorder messages;
    QVRControl panel;
};

// 352 x 288 in a 400 x 298 surface: 298 * 352 / 288 = 364.2 -> 364 wide, left 18.
const QRect kFitted(18, 0, 364, 298);

TEST_F(QVRControlMediaRealTimeTest, OpenFile2_playsWithPictureCentredInItsProportions) {
    panel.OpenFile2(QString::fromStdString(TestMedia::wmv2WithAudio()));

    EXPECT_TRUE(showsPictureAt(kFitted)) << "shown at " << pictureShown().x();
    EXPECT_EQ(panel.Duration(), 4);
    EXPECT_EQ(panel.HScroll2->maximum(), 4);
    EXPECT_TRUE(QTest::qWaitFor([&] { return panel.engine()->DS_GetPosition() > 0.3; }, 5000));
    EXPECT_GT(factory->probe->framesWritten.load(), 0);
    EXPECT_TRUE(panel.notice().isEmpty());

    // New frames repaint the video only: refitting on the surface's repaints must not
    // turn into a repaint per frame.
    int surfaceRepaints = 0;
    QObject::connect(panel.PicVid, &VideoSurface::painted, [&] { ++surfaceRepaints; });
    QTest::qWait(500);
    EXPECT_LT(surfaceRepaints, 3);
}

TEST_F(QVRControlMediaRealTimeTest, fit_followsResizeAndStretch_untilNextRepaint) {
    panel.OpenFile2(QString::fromStdString(TestMedia::wmv2WithAudio()));
    ASSERT_TRUE(showsPictureAt(kFitted));

    // 300 x 298: the width binds, 300 * 288 / 352 = 245.45 -> 245 high, top 26.5 -> 26.
    panel.resize(300, 300);
    EXPECT_TRUE(showsPictureAt(QRect(0, 26, 300, 245))) << pictureShown().y();

    panel.resize(400, 300);
    ASSERT_TRUE(showsPictureAt(kFitted));
    panel.cmdStretch();
    EXPECT_TRUE(showsPictureAt(QRect(0, 0, 400, 298)));
    panel.update();
    EXPECT_TRUE(showsPictureAt(kFitted));
}

TEST_F(QVRControlMediaRealTimeTest, bottomRow_liesBelowThePicture_inATallPanel) {
    panel.resize(1600, 1000);
    panel.OpenFile2(QString::fromStdString(TestMedia::wmv2WithAudio()));
    // 352 x 288 in the 1600 x 973 surface above the row: 973 * 352 / 288 = 1189.2 wide.
    ASSERT_TRUE(QTest::qWaitFor([&] { return pictureShown().width() > 1100; }, 5000));
    const QRect picture = pictureShown().translated(panel.PicVid->pos());
    EXPECT_TRUE(near(picture, QRect(205, 2, 1189, 973))) << picture.x() << " " << picture.y();

    // Read back from the window: every control of the row is drawn, and none over the picture.
    const QImage shown = panel.screen()->grabWindow(panel.winId()).toImage();
    const QColor pictureColour(0x40, 0x60, 0xC0);
    const std::initializer_list<QWidget*> row = {panel.HScroll3, panel.cmdSeekBackButton,
                                                 panel.HScroll2, panel.cmdSeekForButton,
                                                 panel.HScroll1};
    for (QWidget* control : row) {
        const QRect place = control->geometry();
        EXPECT_TRUE(control->isVisible());
        EXPECT_FALSE(place.intersects(picture)) << control->objectName().toStdString();
        int drawn = 0;
        int pictureLike = 0;
        for (int y = place.top(); y <= place.bottom(); ++y) {
            for (int x = place.left(); x <= place.right(); ++x) {
                const QColor c = shown.pixelColor(x, y);
                if (std::max({c.red(), c.green(), c.blue()}) > 40) ++drawn;
                if (std::abs(c.red() - pictureColour.red()) < 24 &&
                    std::abs(c.green() - pictureColour.green()) < 24 &&
                    std::abs(c.blue() - pictureColour.blue()) < 24)
                    ++pictureLike;
            }
        }
        EXPECT_GT(drawn, place.width() * place.height() / 2) << control->objectName().toStdString();
        EXPECT_EQ(pictureLike, 0) << control->objectName().toStdString();
    }
}

TEST_F(QVRControlMediaRealTimeTest, soundOnlyFile_playsWithAQuietNoteOnTheSurface) {
    panel.OpenFile2(QString::fromStdString(TestMedia::audioOnly()));
    EXPECT_EQ(panel.hint(), "sound only");
    EXPECT_TRUE(panel.notice().isEmpty());
    EXPECT_TRUE(QTest::qWaitFor([&] { return factory->probe->framesWritten > 0; }, 5000));
    // With no picture to show its presenter only awaits the end: it looked every 4 ms.
    const long before = test::sleepsOfThreadsNamed("corvid-present");
    QTest::qWait(500);
    EXPECT_LE(test::sleepsOfThreadsNamed("corvid-present") - before, 50);
}

TEST_F(QVRControlMediaRealTimeTest, UserControl_Initialize_endsPictureAndSoundAtOnce) {
    panel.OpenFile2(QString::fromStdString(TestMedia::wmv2WithAudio()));
    ASSERT_TRUE(showsPictureAt(kFitted));
    ASSERT_TRUE(QTest::qWaitFor([&] { return factory->probe->framesWritten > 0; }, 5000));

    panel.UserControl_Initialize();
    EXPECT_EQ(factory->probe->outputsAlive.load(), 0);
    const long written = factory->probe->framesWritten;
    QTest::qWait(300);
    EXPECT_EQ(factory->probe->framesWritten.load(), written);
    EXPECT_TRUE(pictureShown().isEmpty());
}

TEST_F(QVRControlMediaRealTimeTest, fullScreen_leavesThePanel_andEscBringsTheVideoBack) {
    panel.OpenFile2(QString::fromStdString(TestMedia::wmv2WithAudio()));
    ASSERT_TRUE(showsPictureAt(kFitted));
    QPointer<QWidget> video = panel.PicVid->findChild<QWidget*>();
    ASSERT_TRUE(video);

    QTest::mouseDClick(&panel, Qt::LeftButton, {}, QPoint(100, 1));
    EXPECT_EQ(panel.num, 1);
    EXPECT_TRUE(video->isWindow());
    EXPECT_TRUE(QTest::qWaitFor([&] { return pictureShown().isEmpty(); }, 5000));

    QTest::keyClick(video, Qt::Key_Escape);
    EXPECT_EQ(video->parentWidget(), panel.PicVid);
    EXPECT_TRUE(showsPictureAt(kFitted));
}

TEST_F(QVRControlMediaRealTimeTest, tenHourRecording_opensPlaysAndSeeks) {
    panel.OpenFile2(QString::fromStdString(TestMedia::tenHourRecording()));

    EXPECT_EQ(panel.HScroll2->maximum(), 36000);
    EXPECT_EQ(panel.Duration(), 36000);
    EXPECT_TRUE(panel.engine()->DS_Playing);
    EXPECT_TRUE(QTest::qWaitFor([&] { return panel.Position() >= 1; }, 5000));

    panel.SetPosition(50);
    EXPECT_EQ(panel.Position(), 18000);
    EXPECT_TRUE(
        QTest::qWaitFor([&] { return PictureReader::frameShownIn(panel.PicVid) == 18000; }, 10000));
    panel.SetPlay();
    EXPECT_TRUE(QTest::qWaitFor([&] { return panel.Position() >= 18001; }, 5000));
}

}  // namespace
}  // namespace corvid
