#include <gtest/gtest.h>

#include <QAction>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QListWidget>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <cstdio>
#include <memory>

#include "main_window/Form1.h"
#include "media_engine/clsDShowControl.h"
#include "platform/file_views/FolderList.h"
#include "platform/widgets/ScrollBar.h"
#include "player_control/QVRControl.h"
#include "support/MessageBoxRecorder.h"
#include "support/PictureReader.h"
#include "support/TestMedia.h"
#include "support/WindowTest.h"

namespace corvid {
namespace {

constexpr std::uint32_t kCamera1Colour = 0xC03030;
constexpr std::uint32_t kCamera2Colour = 0x3050D0;

using test::camera;

// The background colour of the picture a panel shows, or an invalid colour for none.
QColor pictureColour(QVRControl* panel) {
    const QImage image = test::PictureReader::grab(panel->PicVid);
    const QRect picture = test::PictureReader::findPicture(image);
    if (picture.width() < 20 || picture.height() < 20) return {};
    return image.pixelColor(picture.topLeft() + QPoint(8, 8));
}

bool shows(QVRControl* panel, std::uint32_t colour) {
    const QColor seen = pictureColour(panel);
    const QColor wanted = QColor::fromRgb(colour);
    return seen.isValid() && std::abs(seen.red() - wanted.red()) < 40 &&
           std::abs(seen.green() - wanted.green()) < 40 &&
           std::abs(seen.blue() - wanted.blue()) < 40;
}

bool black(QVRControl* panel) {
    return !pictureColour(panel).isValid();
}

// The whole window on real media graphs, over a folder of generated two-camera recordings:
// camera 1 red with a 440 Hz tone, camera 2 blue with an 880 Hz tone, of different lengths.
class Form1PlaybackRealTimeTest : public test::WindowTest {
protected:
    void SetUp() override {
        copyPair("rec", camera(1, 6), camera(2, 8));
        copy(camera(1, 6), "solo-1.asf");
        copy(camera(2, 8), "lone-2.asf");
        copy(camera(1, 6), "clip.asf");
        showOnFolder(4);
    }

    bool playing(QVRControl* panel) {
        const double start = panel->engine()->DS_GetPosition();
        return waitFor([&] { return panel->engine()->DS_GetPosition() > start + 0.1; }, 5000);
    }

    bool frozen(QVRControl* panel) {
        const double start = panel->engine()->DS_GetPosition();
        QTest::qWait(300);
        return panel->engine()->DS_GetPosition() == start;
    }

    test::MessageBoxRecorder messages;
};

TEST_F(Form1PlaybackRealTimeTest, pairLine_playsCamera1LeftAndCamera2Right_withCamera1Heard) {
    QElapsedTimer clock;
    clock.start();
    clickLine("AB\trec");
    ASSERT_TRUE(waitFor([&] {
        return shows(form->QVRControl1, kCamera1Colour) && shows(form->QVRControl2, kCamera2Colour);
    }));
    std::printf("[ measured ] click to both first pictures: %lld ms\n",
                static_cast<long long>(clock.elapsed()));

    EXPECT_EQ(form->QVRControl1->GetVol(), 75);
    EXPECT_EQ(form->QVRControl2->GetVol(), 0);
    EXPECT_EQ(form->hsVol->Value(), 75);
    EXPECT_TRUE(form->optLeft->isChecked());
    EXPECT_TRUE(form->optLeft->isEnabled());
    EXPECT_TRUE(form->optRight->isEnabled());
    EXPECT_EQ(form->mnuPlay->text(), "Pause");
    EXPECT_TRUE(playing(form->QVRControl1));
    EXPECT_TRUE(playing(form->QVRControl2));
    EXPECT_EQ(messages.count(), 0);
}

TEST_F(Form1PlaybackRealTimeTest, singleCameraLines_loadThePanelTheirMarkerNames) {
    clickLine(" B\tlone");
    ASSERT_TRUE(waitFor([&] { return shows(form->QVRControl2, kCamera2Colour); }));
    EXPECT_TRUE(black(form->QVRControl1));
    EXPECT_TRUE(form->optRight->isChecked());
    EXPECT_FALSE(form->optLeft->isEnabled());
    EXPECT_EQ(form->QVRControl1->GetVol(), 0);
    EXPECT_EQ(form->QVRControl2->GetVol(), 75);

    clickLine("A \tsolo");
    ASSERT_TRUE(waitFor([&] { return shows(form->QVRControl1, kCamera1Colour); }));
    EXPECT_TRUE(waitFor([&] { return black(form->QVRControl2); }));
    EXPECT_TRUE(form->optLeft->isChecked());
    EXPECT_FALSE(form->optRight->isEnabled());

    clickLine("--\tclip");
    ASSERT_TRUE(waitFor([&] { return shows(form->QVRControl1, kCamera1Colour); }));
    EXPECT_EQ(form->QVRControl1->engine()->MediaFile, folder.filePath("clip.asf"));
    EXPECT_EQ(messages.count(), 0);
}

TEST_F(Form1PlaybackRealTimeTest, timerTicks_showRunningTimeOfCamera1_elseOfCamera2) {
    clickLine("AB\trec");
    ASSERT_TRUE(waitFor([&] { return form->QVRControl1->Position() >= 1; }));
    form->timPS_Timer();
    const float first = form->S1Width();
    ASSERT_TRUE(waitFor([&] { return form->QVRControl1->Position() >= 2; }));
    // The position runs on meanwhile: the display shows it as it was at the tick.
    const QString before = clsDShowControl::SecToTime(form->QVRControl1->Position());
    form->timPS_Timer();
    const QString after = clsDShowControl::SecToTime(form->QVRControl1->Position());
    EXPECT_GT(form->S1Width(), first);
    // The pair's length: camera 2's 8 s file is the longer one.
    EXPECT_TRUE(form->L1->text() == before + " / 00:00:08" ||
                form->L1->text() == after + " / 00:00:08")
        << form->L1->text().toStdString();

    clickLine(" B\tlone");
    ASSERT_TRUE(waitFor([&] { return form->QVRControl2->Position() >= 1; }));
    form->timPS_Timer();
    EXPECT_TRUE(form->L1->text().endsWith(" / 00:00:08"));
    EXPECT_GT(form->S1Width(), 0);
}

TEST_F(Form1PlaybackRealTimeTest, dragOnBar_putsBothPanelsAtOneMoment_thenPlaysBoth) {
    clickLine("AB\trec");
    ASSERT_TRUE(waitFor([&] { return form->QVRControl1->Position() >= 1; }));

    const int y = form->P1->height() / 2;
    QTest::mousePress(form->P1, Qt::LeftButton, {}, QPoint(10, y));
    QTest::mouseMove(form->P1, QPoint(form->P1->width() / 2, y));
    EXPECT_NEAR(form->S1Width(), form->P1Width() / 2, 15);
    // Half of the pair's timeline, as long as the longer file (8 s): 4 s for both.
    EXPECT_NEAR(form->QVRControl1->engine()->DS_GetPosition(), 4.0, 0.1);
    EXPECT_NEAR(form->QVRControl2->engine()->DS_GetPosition(), 4.0, 0.1);
    EXPECT_TRUE(frozen(form->QVRControl1));
    EXPECT_TRUE(frozen(form->QVRControl2));
    EXPECT_EQ(form->L1->text(), "00:00:04 / 00:00:08");
    EXPECT_FALSE(form->timPS->isActive());

    QTest::mouseRelease(form->P1, Qt::LeftButton, {}, QPoint(form->P1->width() / 2, y));
    EXPECT_TRUE(playing(form->QVRControl1));
    EXPECT_TRUE(playing(form->QVRControl2));
    EXPECT_EQ(form->mnuPlay->text(), "Pause");
    EXPECT_TRUE(form->timPS->isActive());
}

TEST_F(Form1PlaybackRealTimeTest, pausePlayAndStop_driveBothPanelsAndTheDisplay) {
    clickLine("AB\trec");
    ASSERT_TRUE(waitFor([&] { return form->QVRControl1->Position() >= 1; }));
    form->timPS_Timer();

    form->mnuPlay->trigger();
    const QString shown = form->L1->text();
    EXPECT_TRUE(frozen(form->QVRControl1));
    EXPECT_TRUE(frozen(form->QVRControl2));
    EXPECT_FALSE(form->timPS->isActive());
    EXPECT_EQ(form->L1->text(), shown);

    form->mnuPlay->trigger();
    EXPECT_TRUE(playing(form->QVRControl1));
    EXPECT_TRUE(playing(form->QVRControl2));

    form->mnuClose->trigger();
    EXPECT_EQ(form->L1->text(), "00:00:00 / 00:00:00");
    EXPECT_FLOAT_EQ(form->S1Width(), 0);
    EXPECT_FALSE(form->mnuPlay->isEnabled());
    EXPECT_FALSE(form->mnuClose->isEnabled());
    EXPECT_EQ(form->QVRControl1->engine()->MediaFile, "");
    EXPECT_EQ(form->QVRControl2->engine()->MediaFile, "");
    EXPECT_EQ(form->QVRControl1->Duration(), 0);
    EXPECT_TRUE(waitFor([&] { return black(form->QVRControl1) && black(form->QVRControl2); }));
}

TEST_F(Form1PlaybackRealTimeTest, volume_routesToChosenCamera_andReadsBackClampedAfterLoad) {
    clickLine("AB\trec");
    form->hsVol->SetValue(40);
    EXPECT_EQ(form->QVRControl1->GetVol(), 40);
    EXPECT_EQ(form->QVRControl2->GetVol(), 0);
    QTest::mouseClick(form->optRight, Qt::LeftButton);
    EXPECT_EQ(form->QVRControl1->GetVol(), 0);
    EXPECT_EQ(form->QVRControl2->GetVol(), 40);

    form->hsVol->SetValue(120);
    clickLine("AB\trec");
    EXPECT_EQ(form->hsVol->Value(), 100);
    EXPECT_TRUE(form->optLeft->isChecked());
    EXPECT_EQ(form->QVRControl1->GetVol(), 100);
    EXPECT_EQ(form->QVRControl2->GetVol(), 0);
}

TEST_F(Form1PlaybackRealTimeTest, missingFiles_showTheirMessages_andRebuildTheListForPairs) {
    QFile::remove(folder.filePath("clip.asf"));
    clickLine("--\tclip");
    EXPECT_EQ(messages.texts(), QStringList{"文件不存在"});
    EXPECT_FALSE(form->mnuClose->isEnabled());

    messages.clear();
    QFile::remove(folder.filePath("rec-1.asf"));
    clickLine("AB\trec");
    EXPECT_EQ(messages.texts(), QStringList{"第一个端口文件不存在，点确定刷列文件列表"});
    EXPECT_EQ(form->lsASF->findItems(" B\trec", Qt::MatchExactly).size(), 1);
    EXPECT_TRUE(black(form->QVRControl1));
    EXPECT_TRUE(black(form->QVRControl2));
}

}  // namespace
}  // namespace corvid
