#include <gtest/gtest.h>

#include <QAction>
#include <QFile>
#include <QListWidget>
#include <QTest>
#include <cmath>
#include <string>

#include "main_window/Form1.h"
#include "media_engine/clsDShowControl.h"
#include "player_control/QVRControl.h"
#include "recording_pair/RecordingPair.h"
#include "support/Eventually.h"
#include "support/MessageBoxRecorder.h"
#include "support/PictureReader.h"
#include "support/TestMedia.h"
#include "support/WindowTest.h"

namespace corvid {
namespace {

using test::MediaRecipe;
using test::PictureReader;

MediaRecipe camera(double seconds, double fps, int gop, std::uint32_t colour) {
    MediaRecipe recipe;
    recipe.seconds = seconds;
    recipe.fps = fps;
    recipe.gop = gop;
    recipe.colour = colour;
    recipe.picturesFromZero = true;
    return recipe;
}

// The real window and clock on pairs whose files differ as recorders' files do, with
// every picture showing its number: after a bar click, frame steps or a clip exported and
// loaded again, the two paused panels show pictures of one moment, read from the pixels.
class UnequalPairRealTimeTest : public test::WindowTest {
protected:
    void load(const MediaRecipe& first, const MediaRecipe& second) {
        copyPair("pair", test::TestMedia::make(first), test::TestMedia::make(second));
        showOnFolder(1);
        clickLine("AB\tpair");
        fps_ = {first.fps, second.fps};
        ASSERT_TRUE(test::eventually([&] { return shown(0) >= 0 && shown(1) >= 0; }, 10000));
    }

    int shown(int camera) const {
        return PictureReader::frameShownIn(form->pair().panel(camera).PicVid);
    }

    void pause() {
        if (form->isPlaying()) press(Qt::Key_Space);
        ASSERT_EQ(form->mnuPlay->text(), "Play");
    }

    // Both paused pictures are due at the pair's moment, so they lie within a picture of
    // the slower camera of each other. A picture's number tells its time in the recording
    // it was first written in, also in a clip cut from it.
    void expectOneMoment(const char* after) {
        SCOPED_TRACE(after);
        ASSERT_TRUE(test::eventually([&] { return form->pair().settled(); }, 10000));
        QTest::qWait(300);
        const int frame1 = shown(0);
        const int frame2 = shown(1);
        ASSERT_GE(frame1, 0);
        ASSERT_GE(frame2, 0);
        const double t1 = frame1 / fps_[0];
        const double t2 = frame2 / fps_[1];
        const double picture = 1.0 / std::min(fps_[0], fps_[1]);
        EXPECT_LT(std::abs(t1 - t2), picture + 0.002) << "pictures " << frame1 << " and " << frame2
                                                      << " are " << std::abs(t1 - t2) << " s apart";
    }

    std::array<double, 2> fps_{25, 25};
    test::MessageBoxRecorder messages;
};

TEST_F(UnequalPairRealTimeTest, barClick_putsFilesOfDifferentLengthsAtOneMoment) {
    load(camera(12, 25, 25, 0xC03030), camera(10, 25, 25, 0x3050D0));
    const QPoint at(static_cast<int>(form->P1->width() * 0.7), form->P1->height() / 2);
    QTest::mouseClick(form->P1, Qt::LeftButton, {}, at);
    QTest::qWait(500);
    pause();
    expectOneMoment("a click at 70% of the bar");
    EXPECT_EQ(messages.count(), 0);
}

TEST_F(UnequalPairRealTimeTest, frameSteps_keepPictureRatesOf25And30AtOneMoment) {
    load(camera(8, 25, 25, 0xC03030), camera(8, 30, 30, 0x3050D0));
    pause();
    for (int step = 0; step < 30; ++step) {
        press(Qt::Key_Period);
        ASSERT_TRUE(test::eventually([&] { return form->pair().settled(); }, 10000));
    }
    expectOneMoment("30 steps forward");
    for (int step = 0; step < 7; ++step) {
        press(Qt::Key_Comma);
        ASSERT_TRUE(test::eventually([&] { return form->pair().settled(); }, 10000));
    }
    expectOneMoment("7 steps back");
    EXPECT_EQ(messages.count(), 0);
}

TEST_F(UnequalPairRealTimeTest, exportedClip_ofDifferentKeyFrames_playsAtTheSameMoments) {
    load(camera(12, 25, 50, 0xC03030), camera(12, 25, 35, 0x3050D0));
    pause();
    form->pair().seekTo(4.7);
    expectOneMoment("at the clip's start");
    press(Qt::Key_I);
    form->pair().seekTo(8.3);
    expectOneMoment("at the clip's end");
    press(Qt::Key_O);
    press(Qt::Key_E, Qt::ControlModifier);
    ASSERT_EQ(messages.count(), 0) << messages.texts().join("|").toStdString();
    ASSERT_TRUE(QFile::exists(folder.filePath("pair-clip-00-00-04-1.asf")));
    clickLine("AB\tpair-clip-00-00-04");
    ASSERT_TRUE(test::eventually([&] { return shown(0) >= 0 && shown(1) >= 0; }, 10000));
    QTest::qWait(700);
    pause();
    expectOneMoment("the clip pair, loaded and paused");
    // Each part starts at its own key frame: 4 s and 4.2 s, one zero between them.
    EXPECT_NEAR(form->pair().offset(1) - form->pair().offset(0), 0.2, 0.05);
}

}  // namespace
}  // namespace corvid
