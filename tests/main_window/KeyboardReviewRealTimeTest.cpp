#include <gtest/gtest.h>

#include <QDir>
#include <QListWidget>
#include <QMenu>
#include <QRadioButton>
#include <QTest>
#include <memory>

#include "main_window/Form1.h"
#include "media_engine/clsDShowControl.h"
#include "platform/file_views/FolderList.h"
#include "platform/widgets/FocusMark.h"
#include "platform/widgets/ScrollBar.h"
#include "player_control/QVRControl.h"
#include "player_control/VideoSurface.h"
#include "player_output/VideoWindowWidget.h"
#include "support/Eventually.h"
#include "support/MessageBoxRecorder.h"
#include "support/PictureReader.h"
#include "support/TestMedia.h"
#include "support/WindowTest.h"

namespace corvid {
namespace {

using test::eventually;

using test::camera;

// A whole review on real media graphs in real time with the keyboard alone, from the
// folder above the recordings to full screen and back.
class KeyboardReviewRealTimeTest : public test::WindowTest {
protected:
    QWidget* focus() const { return QApplication::focusWidget(); }
    // Read inside the focus mark, which rings the picture of the focused panel.
    int frame(QVRControl* panel) const {
        auto* video = panel->PicVid->findChild<VideoWindowWidget*>();
        if (video == nullptr) return -1;
        const QImage shown = test::PictureReader::grab(video);
        const int mark = FocusMark::kWidth;
        return test::PictureReader::readFrameIndex(shown,
                                                   shown.rect().adjusted(mark, mark, -mark, -mark));
    }
    double position(QVRControl* panel) const { return panel->engine()->DS_GetPosition(); }

    // Tabs on (or back) until `target` or a widget inside it has the focus.
    bool tabTo(QWidget* target, bool back = false) {
        for (int i = 0; i < 20; ++i) {
            if (focus() == target || target->isAncestorOf(focus())) return true;
            press(back ? Qt::Key_Backtab : Qt::Key_Tab);
        }
        return false;
    }

    test::MessageBoxRecorder messages;
};

TEST_F(KeyboardReviewRealTimeTest, wholeReview_isDrivenFromTheKeyboardAlone) {
    ASSERT_TRUE(QDir(folder.path()).mkdir("day"));
    copyPair("day/run", camera(1, 20), camera(2, 20));
    showOnFolder(0);
    QVRControl* one = form->QVRControl1;
    QVRControl* two = form->QVRControl2;
    form->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
    one->PicVid->setFocus();

    // The folder: down its tree to the child folder, opened with Enter. The tree opens a
    // folder from the event loop, as it rebuilds the row that was activated.
    ASSERT_TRUE(tabTo(form->DirList));
    const auto currentRow = [&] {
        const QTreeWidgetItem* item = form->DirList->currentItem();
        return item != nullptr ? item->text(0) : QString();
    };
    ASSERT_EQ(currentRow(), QDir(folder.path()).dirName()) << "starts on the folder shown";
    press(Qt::Key_Down);
    ASSERT_EQ(currentRow(), "day");
    press(Qt::Key_Return);
    const QString day = QDir(folder.filePath("day")).absolutePath();
    ASSERT_TRUE(eventually([&] { return form->DirList->Path() == day; }));
    ASSERT_TRUE(eventually([&] { return form->lsASF->count() == 1; }));
    EXPECT_EQ(focus(), form->DirList);
    EXPECT_EQ(currentRow(), "day");

    // The recording: back to the list, which loads nothing until Enter.
    ASSERT_TRUE(tabTo(form->lsASF, true));
    QTest::qWait(200);
    EXPECT_TRUE(one->engine()->MediaFile.isEmpty());
    press(Qt::Key_Return);
    ASSERT_TRUE(eventually([&] { return frame(one) >= 0 && frame(two) >= 0; }, 20000));
    ASSERT_TRUE(eventually([&] { return position(one) > 0.3; }, 20000)) << "plays";

    // Pause, step, seek.
    press(Qt::Key_Space);
    ASSERT_TRUE(eventually([&] { return !one->engine()->DS_Playing; }));
    const int paused = frame(one);
    press(Qt::Key_Period);
    EXPECT_TRUE(eventually([&] { return frame(one) == paused + 1; }, 10000)) << frame(one);
    press(Qt::Key_Right);
    EXPECT_TRUE(
        eventually([&] { return frame(one) > paused + 100 && frame(two) > paused + 100; }, 10000))
        << frame(one) << ' ' << frame(two);
    const double seekedTo = position(one);
    EXPECT_NEAR(seekedTo, position(two), 0.1);

    // Camera 2 heard, at a lower volume.
    ASSERT_TRUE(tabTo(form->optLeft));
    press(Qt::Key_Right);
    EXPECT_TRUE(form->optRight->isChecked());
    EXPECT_EQ(one->GetVol(), 0);
    EXPECT_EQ(two->GetVol(), 75);
    press(Qt::Key_Tab);
    ASSERT_EQ(focus(), form->hsVol);
    press(Qt::Key_Left);
    press(Qt::Key_Left);
    EXPECT_EQ(two->GetVol(), 65);
    EXPECT_EQ(position(one), seekedTo);  // the arrows were the volume's

    // A panel's menu, then its picture full screen and back.
    ASSERT_TRUE(tabTo(two->PicVid));
    press(Qt::Key_Menu);
    ASSERT_TRUE(eventually([&] { return two->mnuMain->isVisible(); }));
    QTest::keyClick(two->mnuMain, Qt::Key_Escape);
    ASSERT_TRUE(eventually([&] { return !two->mnuMain->isVisible(); }));
    auto* video = two->PicVid->findChild<VideoWindowWidget*>();
    ASSERT_NE(video, nullptr);
    const QRect windowed = video->geometry();
    two->PicVid->setFocus();
    press(Qt::Key_F);
    ASSERT_TRUE(video->isFullScreenMode());
    EXPECT_TRUE(eventually([&] { return video->pictureFitsView(); }, 10000));
    press(Qt::Key_Escape);
    ASSERT_FALSE(video->isFullScreenMode());
    EXPECT_EQ(video->parentWidget(), two->PicVid);
    EXPECT_EQ(video->geometry(), windowed);
    EXPECT_EQ(focus(), two->PicVid);
    EXPECT_TRUE(eventually([&] { return video->pictureFitsView() && frame(two) >= 0; }, 10000));
    EXPECT_TRUE(messages.texts().isEmpty()) << messages.texts().join(" | ").toStdString();
}

}  // namespace
}  // namespace corvid
