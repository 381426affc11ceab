#include <gtest/gtest.h>

#include <QAction>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QProcess>
#include <QProgressDialog>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QWheelEvent>
#include <cmath>
#include <functional>
#include <memory>

#include "main_window/ClipMarks.h"
#include "main_window/ClipPairExport.h"
#include "main_window/Form1.h"
#include "media_engine/clsDShowControl.h"
#include "platform/file_views/FolderList.h"
#include "platform/graph/GraphFactory.h"
#include "player/LocalFileStorage.h"
#include "player/MediaSource.h"
#include "player_control/QVRControl.h"
#include "player_output/VideoWindowWidget.h"
#include "support/FakeFileChooser.h"
#include "support/ManualClockWindowTest.h"
#include "support/PictureReader.h"
#include "support/TestMedia.h"
#include "support/WindowTest.h"
#include "util/Failure.h"

namespace corvid {
namespace {

using test::PictureReader;
using test::TestMedia;

// Frame-numbered cameras of different sizes and colours, without sound so that the
// manual clock alone moves them.
std::string camera(int number, double seconds) {
    test::MediaRecipe recipe;
    recipe.seconds = seconds;
    recipe.width = number == 1 ? 352 : 320;
    recipe.height = number == 1 ? 288 : 240;
    recipe.colour = number == 1 ? 0xC03030 : 0x3050D0;
    recipe.audio = false;
    recipe.gop = 25;
    return TestMedia::make(recipe);
}

// The picture the ffmpeg tool decodes at media time `t` of a file, as RGB.
QImage toolPicture(const std::string& file, double t, const QString& out) {
    QProcess ffmpeg;
    ffmpeg.start("ffmpeg", {"-v", "error", "-nostdin", "-y", "-ss", QString::number(t, 'f', 3),
                            "-i", QString::fromStdString(file), "-frames:v", "1", out});
    if (!ffmpeg.waitForFinished(60000) || ffmpeg.exitCode() != 0) return {};
    return QImage(out).convertToFormat(QImage::Format_RGB888);
}

// Evidence from the main window on real media graphs: each camera's time over its
// picture, zoom, stills and clips of both cameras.
class ReviewEvidenceTest : public test::ManualClockWindowTest {
protected:
    void SetUp() override {
        copyPair("day1", camera(1, 12), camera(2, 12));
        copyPair("day2", camera(1, 4), camera(2, 4));
        showOnFolder(2);
    }

    VideoWindowWidget* video(int number) const {
        return panel(number)->PicVid->findChild<VideoWindowWidget*>();
    }

    void wheel(int number, QPointF at, int delta) {
        QWheelEvent event(at, video(number)->mapToGlobal(at), QPoint(), QPoint(0, delta),
                          Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(video(number), &event);
    }

    // Checks that a saved still is, pixel for pixel, the tool's picture of the frame it
    // shows, and returns that frame.
    int expectToolsPicture(const QString& still, const std::string& source) {
        const QImage saved = QImage(still).convertToFormat(QImage::Format_RGB888);
        EXPECT_FALSE(saved.isNull()) << still.toStdString();
        const int index = PictureReader::readFrameIndex(saved, saved.rect());
        const auto times = TestMedia::videoPacketTimes(source);
        EXPECT_TRUE(index >= 0 && index < static_cast<int>(times.size())) << index;
        if (index < 0 || index >= static_cast<int>(times.size())) return -1;
        const QImage tool = toolPicture(source, times[index], work.filePath("tool.png"));
        EXPECT_EQ(saved.size(), tool.size());
        EXPECT_TRUE(saved == tool) << still.toStdString() << " is not the tool's frame " << index;
        return index;
    }

    QTemporaryDir stills;
    QTemporaryDir work;
    test::ScopedFakeFileChooser chooser;
};

TEST_F(ReviewEvidenceTest, ctrlS_savesEachCamerasPictureOnShow_asTheToolDecodesIt) {
    load("AB\tday1");
    playTo(2.0);
    press(Qt::Key_Space);  // paused
    // A picture that was due as the clock stopped may still be on its way to the screen.
    int shown1 = -1;
    int shown2 = -1;
    ASSERT_TRUE(waitFor([&] {
        const int before1 = frame(1);
        const int before2 = frame(2);
        QTest::qWait(100);
        shown1 = frame(1);
        shown2 = frame(2);
        return shown1 == before1 && shown2 == before2;
    }));
    chooser->willConfirm(stills.path().toStdString());
    press(Qt::Key_S, Qt::ControlModifier);
    ASSERT_EQ(chooser->folderRequests().size(), 1u);
    EXPECT_EQ(chooser->folderRequests()[0].initialDir,
              QStandardPaths::writableLocation(QStandardPaths::PicturesLocation).toStdString());
    QStringList saved = QDir(stills.path()).entryList(QDir::Files, QDir::Name);
    ASSERT_EQ(saved.size(), 2) << saved.join(", ").toStdString();
    EXPECT_TRUE(saved[0].startsWith("day1-1 00-00-0")) << saved[0].toStdString();
    EXPECT_TRUE(saved[1].startsWith("day1-2 00-00-0")) << saved[1].toStdString();
    EXPECT_EQ(expectToolsPicture(stills.filePath(saved[0]), camera(1, 12)), shown1);
    EXPECT_EQ(expectToolsPicture(stills.filePath(saved[1]), camera(2, 12)), shown2);
    const QLabel* said = form->fraPlay->findChild<QLabel*>("lblSaved");
    ASSERT_NE(said, nullptr);
    EXPECT_TRUE(said->isVisible());
    EXPECT_TRUE(said->toolTip().contains(saved[0])) << said->toolTip().toStdString();

    // While playing, zoomed in, from the panel's menu: the folder is not asked again.
    press(Qt::Key_Space);
    wheel(1, {60, 60}, 480);
    playTo(5.0);
    for (const QString& name : saved) QFile::remove(stills.filePath(name));
    panel(2)->mnuSaveStill->trigger();
    EXPECT_EQ(chooser->folderRequests().size(), 1u);
    saved = QDir(stills.path()).entryList(QDir::Files, QDir::Name);
    ASSERT_EQ(saved.size(), 2) << saved.join(", ").toStdString();
    EXPECT_GE(expectToolsPicture(stills.filePath(saved[0]), camera(1, 12)), 120);
    EXPECT_GE(expectToolsPicture(stills.filePath(saved[1]), camera(2, 12)), 120);
    EXPECT_EQ(QImage(stills.filePath(saved[0])).size(), QSize(352, 288));
    EXPECT_EQ(QImage(stills.filePath(saved[1])).size(), QSize(320, 240));
    EXPECT_EQ(messages.count(), 0) << messages.texts().join("|").toStdString();
}

TEST_F(ReviewEvidenceTest, ctrlS_savesNothing_whenTheFolderChoiceIsCancelled_orNothingIsShown) {
    press(Qt::Key_S, Qt::ControlModifier);
    ASSERT_EQ(messages.count(), 1);
    EXPECT_TRUE(messages.texts()[0].contains("Load a recording first."));
    EXPECT_TRUE(chooser->folderRequests().empty());
    load("AB\tday2");
    chooser->willCancel();
    press(Qt::Key_S, Qt::ControlModifier);
    EXPECT_EQ(QDir(stills.path()).entryList(QDir::Files | QDir::Hidden).size(), 0);
    // Cancelled, the folder is asked for again next time.
    chooser->willConfirm(stills.path().toStdString());
    press(Qt::Key_S, Qt::ControlModifier);
    EXPECT_EQ(chooser->folderRequests().size(), 2u);
    EXPECT_EQ(QDir(stills.path()).entryList(QDir::Files | QDir::Hidden).size(), 2);
    // The same pictures again: the stills already saved are kept, and the user told.
    press(Qt::Key_S, Qt::ControlModifier);
    ASSERT_EQ(messages.count(), 2);
    EXPECT_TRUE(messages.texts()[1].contains("already exists"))
        << messages.texts()[1].toStdString();
    EXPECT_EQ(QDir(stills.path()).entryList(QDir::Files | QDir::Hidden).size(), 2);
}

TEST_F(ReviewEvidenceTest, wheelZoomsOnePanel_zeroAndItsMenuReset_aLoadStartsWhole) {
    load("AB\tday1");
    wheel(1, {100, 80}, 360);
    EXPECT_GT(panel(1)->Zoom(), 1.9);
    EXPECT_EQ(panel(2)->Zoom(), 1.0);
    playTo(1.0);
    EXPECT_GT(panel(1)->Zoom(), 1.9);  // playing keeps it
    press(Qt::Key_0);
    EXPECT_EQ(panel(1)->Zoom(), 1.0);

    wheel(2, {50, 50}, 240);
    EXPECT_GT(panel(2)->Zoom(), 1.5);
    panel(2)->mnuResetZoom->trigger();
    EXPECT_EQ(panel(2)->Zoom(), 1.0);

    wheel(1, {100, 80}, 240);
    load("AB\tday2");
    EXPECT_EQ(panel(1)->Zoom(), 1.0);
    EXPECT_EQ(messages.count(), 0) << messages.texts().join("|").toStdString();
}

TEST_F(ReviewEvidenceTest, t_togglesBothOverlays_andTheSettingOutlivesALoad) {
    load("AB\tday1");
    ASSERT_TRUE(waitFor([&] { return !video(1)->overlayText().isEmpty(); }));
    EXPECT_FALSE(video(2)->overlayText().isEmpty());
    press(Qt::Key_T);
    EXPECT_TRUE(video(1)->overlayText().isEmpty());
    EXPECT_TRUE(video(2)->overlayText().isEmpty());
    load("AB\tday2");
    EXPECT_FALSE(panel(1)->TimeOverlay());
    EXPECT_TRUE(video(1)->overlayText().isEmpty());
    EXPECT_TRUE(video(2)->overlayText().isEmpty());
    press(Qt::Key_T);
    EXPECT_TRUE(waitFor([&] { return !video(1)->overlayText().isEmpty(); }));
    EXPECT_FALSE(video(2)->overlayText().isEmpty());
}

TEST_F(ReviewEvidenceTest, iAndO_markTheBar_andCtrlE_exportsBothCamerasAsANewRecording) {
    load("AB\tday1");
    playTo(3.3);
    settle();
    press(Qt::Key_I);
    playTo(6.5);
    settle();
    press(Qt::Key_O);
    const ClipMarks* found = form->P1->findChild<ClipMarks*>();
    ASSERT_NE(found, nullptr);
    const ClipMarks& marks = *found;
    ASSERT_TRUE(marks.start() && marks.end());
    // Two ticks on the bar where the marks are, green then red.
    const QImage bar = PictureReader::grab(form->P1);
    const auto tickAt = [&](double share) {
        return bar.pixel(static_cast<int>(std::lround(share * (form->P1->width() - 1))),
                         form->P1->height() / 2);
    };
    EXPECT_GT(qGreen(tickAt(marks.start()->moment / 12.0)), 120);
    EXPECT_GT(qRed(tickAt(marks.end()->moment / 12.0)), 150);
    EXPECT_NEAR(marks.start()->moment, marks.start()->pictures[0].value(), 0.05);

    press(Qt::Key_E, Qt::ControlModifier);
    ASSERT_EQ(messages.count(), 0) << messages.texts().join("|").toStdString();
    const QString clip1 = folder.filePath("day1-clip-00-00-03-1.asf");
    const QString clip2 = folder.filePath("day1-clip-00-00-03-2.asf");
    ASSERT_TRUE(QFile::exists(clip1));
    ASSERT_TRUE(QFile::exists(clip2));
    EXPECT_EQ(QDir(folder.path()).entryList(QDir::Files | QDir::Hidden).size(), 6);
    // Each camera's span, from its key frame at or before the start (one a second).
    for (const QString& clip : {clip1, clip2}) {
        const double duration = MediaSource(std::make_shared<LocalFileStorage>(),
                                            clip.toStdString(), std::chrono::seconds(10))
                                    .duration();
        EXPECT_GT(duration, 3.2 - 0.05) << clip.toStdString();
        EXPECT_LT(duration, 3.2 + 1.0 + 0.05) << clip.toStdString();
    }
    // The list shows the clip as a recording, and the one playing stays selected.
    EXPECT_EQ(form->lsASF->findItems("AB\tday1-clip-00-00-03", Qt::MatchExactly).size(), 1);
    ASSERT_NE(form->lsASF->currentItem(), nullptr);
    EXPECT_EQ(form->lsASF->currentItem()->text(), "AB\tday1");
    EXPECT_GT(position(1), 6.0);  // not loaded again

    // The clip plays in Corvid from its first key frame: frame 75 at 3 s.
    load("AB\tday1-clip-00-00-03");
    EXPECT_TRUE(waitFor([&] { return frame(1) == 75 && frame(2) == 75; }))
        << frame(1) << "/" << frame(2);
    EXPECT_FALSE(marks.start().has_value());  // marks belong to the recording they were made on
    EXPECT_EQ(messages.count(), 0) << messages.texts().join("|").toStdString();
}

TEST_F(ReviewEvidenceTest, ctrlE_refusesMarksThatMakeNoClip_withAClearMessage) {
    load("AB\tday1");
    press(Qt::Key_E, Qt::ControlModifier);
    ASSERT_EQ(messages.count(), 1);
    EXPECT_TRUE(messages.texts()[0].contains("Mark the start of the clip with I"))
        << messages.texts()[0].toStdString();
    playTo(4.0);
    press(Qt::Key_O);
    playTo(5.0);
    press(Qt::Key_I);
    press(Qt::Key_E, Qt::ControlModifier);
    ASSERT_EQ(messages.count(), 2);
    EXPECT_TRUE(messages.texts()[1].contains("must come after its start"))
        << messages.texts()[1].toStdString();
    EXPECT_EQ(QDir(folder.path()).entryList(QDir::Files | QDir::Hidden).size(), 4);
}

TEST_F(ReviewEvidenceTest, ctrlE_exportsOnlyTheCamerasStillRecording_atTheClipsStart) {
    copyPair("odd", camera(1, 6), camera(2, 3));
    form->DirList_Change();
    load("AB\todd");
    const auto camera1At = [&](double seconds) {
        ASSERT_TRUE(waitFor([&] {
            time->advance(0.02);
            return position(1) >= seconds;
        }));
    };
    camera1At(4.0);
    press(Qt::Key_I);
    camera1At(5.0);
    press(Qt::Key_O);
    press(Qt::Key_E, Qt::ControlModifier);
    EXPECT_EQ(messages.count(), 0) << messages.texts().join("|").toStdString();
    EXPECT_TRUE(QFile::exists(folder.filePath("odd-clip-00-00-04-1.asf")));
    EXPECT_FALSE(QFile::exists(folder.filePath("odd-clip-00-00-04-2.asf")));
}

TEST_F(ReviewEvidenceTest, clipExport_leavesNoFileOfThePair_whenOnePartFails) {
    const std::vector<ClipPairExport::Part> parts = {
        {folder.filePath("day1-1.asf"), folder.filePath("pair-clip-1.asf"), 1.0, 3.0},
        {folder.filePath("day1-2.asf"), folder.filePath("gone/pair-clip-2.asf"), 1.0, 3.0}};
    EXPECT_THROW(ClipPairExport::run(form.get(), parts), Failure);
    EXPECT_FALSE(QFile::exists(parts[0].target));
    EXPECT_EQ(QDir(folder.path()).entryList(QDir::Files | QDir::Hidden).size(), 4);
    EXPECT_EQ(ClipPairExport::targetFor("/r/day1-2.asf", 2, 723.9), "/r/day1-clip-00-12-03-2.asf");
}

TEST_F(ReviewEvidenceTest, ctrlShiftE_exportsTheMarkedSpanAsOneVideo_cancelledLeavesNothing) {
    load("AB\tday1");
    press(Qt::Key_E, Qt::ControlModifier | Qt::ShiftModifier);
    ASSERT_EQ(messages.count(), 1);
    EXPECT_TRUE(messages.texts()[0].contains("with I and its end with O"))
        << messages.texts()[0].toStdString();
    playTo(3.3);
    settle();
    press(Qt::Key_I);
    playTo(6.5);
    settle();
    press(Qt::Key_O);
    const auto files = [&] { return QDir(folder.path()).entryList(QDir::Files | QDir::Hidden); };

    // Cancel, as soon as the progress shows.
    QTimer canceller;
    QObject::connect(&canceller, &QTimer::timeout, [&] {
        if (auto* progress = form->findChild<QProgressDialog*>("EvidenceExportProgress"))
            progress->cancel();
    });
    canceller.start(5);
    press(Qt::Key_E, Qt::ControlModifier | Qt::ShiftModifier);
    canceller.stop();
    EXPECT_EQ(files().size(), 4) << files().join(", ").toStdString();

    press(Qt::Key_E, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(messages.count(), 1) << messages.texts().join("|").toStdString();
    const QString video = folder.filePath("day1-clip-00-00-03.mp4");
    ASSERT_TRUE(QFile::exists(video));
    EXPECT_EQ(files().size(), 5);
    const double length = MediaSource(std::make_shared<LocalFileStorage>(), video.toStdString(),
                                      std::chrono::seconds(10))
                              .duration();
    EXPECT_NEAR(length, 3.2, 0.1);
    EXPECT_TRUE(form->findChild<QLabel*>("lblSaved")->text().contains("day1-clip-00-00-03.mp4"));

    // A second export of the same span keeps the first.
    const qint64 size = QFileInfo(video).size();
    press(Qt::Key_E, Qt::ControlModifier | Qt::ShiftModifier);
    ASSERT_EQ(messages.count(), 2);
    EXPECT_TRUE(messages.texts()[1].contains("already exists"))
        << messages.texts()[1].toStdString();
    EXPECT_EQ(QFileInfo(video).size(), size);
    EXPECT_EQ(files().size(), 5);

    // A start after the end is refused before anything runs.
    playTo(7.0);
    press(Qt::Key_I);
    press(Qt::Key_E, Qt::ControlModifier | Qt::ShiftModifier);
    ASSERT_EQ(messages.count(), 3);
    EXPECT_TRUE(messages.texts()[2].contains("must come after"))
        << messages.texts()[2].toStdString();
    EXPECT_EQ(files().size(), 5);
}

TEST_F(ReviewEvidenceTest, helpMenu_listsTheEvidenceKeys) {
    QStringList entries;
    QMenu* help = form->menuBar()->findChild<QMenu*>("mnuHelp");
    ASSERT_NE(help, nullptr);
    for (const QAction* action : help->actions()) entries << action->text();
    const QString all = entries.join('\n');
    for (const char* key : {"\tT", "\t0", "\tI", "\tO", "\tCtrl+S", "\tCtrl+E", "\tCtrl+Shift+E"})
        EXPECT_TRUE(all.contains(key)) << key;
}

}  // namespace
}  // namespace corvid
