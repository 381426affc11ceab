#include <gtest/gtest.h>

#include <QListWidget>
#include <QTest>
#include <QWheelEvent>
#include <memory>

#include "main_window/Form1.h"
#include "platform/graph/GraphFactory.h"
#include "player/VideoWindowWidget.h"
#include "player_control/QVRControl.h"
#include "player_control/VideoSurface.h"
#include "support/Eventually.h"
#include "support/ManualClockGraphFactory.h"
#include "support/MessageBoxRecorder.h"
#include "support/PictureReader.h"
#include "support/TestMedia.h"
#include "support/WindowTest.h"

namespace corvid {
namespace {

using test::eventually;

std::string camera(int number) {
    test::MediaRecipe recipe;
    recipe.seconds = 4;
    recipe.width = number == 1 ? 352 : 320;
    recipe.height = number == 1 ? 288 : 240;
    recipe.audio = false;
    return test::TestMedia::make(recipe);
}

// Where a camera's picture is in the window, with its zoom: what full screen must give back.
struct Placement {
    QWidget* parent;
    QRect rect;
    QPoint inWindow;
    ZoomView view;

    bool operator==(const Placement&) const = default;
};

void PrintTo(const Placement& p, std::ostream* out) {
    *out << "parent " << p.parent << " rect " << p.rect.x() << ',' << p.rect.y() << ' '
         << p.rect.width() << 'x' << p.rect.height() << " at " << p.inWindow.x() << ','
         << p.inWindow.y() << " zoom " << p.view.zoom();
}

// Full screen entered and left from the main window on real media graphs, by the mouse
// and by the keys, at the window's sizes.
class FullScreenTest : public test::WindowTest {
protected:
    void SetUp() override {
        copy(camera(1), "day-1.asf");
        copy(camera(2), "day-2.asf");
        showOnFolder(1);
        clickLine(form->lsASF->item(0)->text());
        ASSERT_TRUE(eventually([&] { return frame(1) >= 0 && frame(2) >= 0; }, 10000));
    }

    QVRControl* panel(int number) const {
        return number == 1 ? form->QVRControl1 : form->QVRControl2;
    }
    VideoWindowWidget* video(int number) const {
        return panel(number)->PicVid->findChild<VideoWindowWidget*>();
    }
    int frame(int number) const { return test::PictureReader::frameShownIn(panel(number)->PicVid); }
    Placement placement(const VideoWindowWidget* v) const {
        return {v->parentWidget(), v->geometry(), v->mapTo(form.get(), QPoint(0, 0)),
                v->zoomView()};
    }
    static bool fullScreen(const VideoWindowWidget* v) {
        return v->isWindow() && v->isFullScreenMode() && v->isFullScreen() && v->isVisible();
    }

    // Enters and leaves full screen ten times each way, checking where the picture goes.
    void roundTrips(int number) {
        // Full screen takes the picture out of its panel: it is held from here.
        VideoWindowWidget* picture = video(number);
        ASSERT_NE(picture, nullptr);
        const Placement before = placement(picture);
        ASSERT_EQ(before.parent, panel(number)->PicVid);
        for (int round = 0; round < 10; ++round) {
            const bool byMouse = round % 2 == 0;
            QTest::mouseDClick(picture, Qt::LeftButton, {}, picture->rect().center());
            ASSERT_TRUE(fullScreen(picture)) << "round " << round;
            EXPECT_TRUE(
                eventually([&] { return picture->geometry() == picture->screen()->geometry(); }));
            if (byMouse) {
                QTest::mouseDClick(picture, Qt::LeftButton, {}, QPoint(5, 5));
            } else {
                QTest::keyClick(picture, Qt::Key_Escape);
            }
            ASSERT_FALSE(picture->isFullScreenMode()) << "round " << round;
            EXPECT_EQ(placement(picture), before) << "round " << round;
            EXPECT_TRUE(picture->isVisible());
            // The keyboard's focus is back on the panel.
            EXPECT_EQ(form->focusWidget(), panel(number)->PicVid);
        }
        EXPECT_TRUE(eventually([&] { return picture->pictureFitsView(); }));
    }

    void zoomIn(int number) {
        VideoWindowWidget* v = video(number);
        const QPointF at = v->rect().center();
        QWheelEvent event(at, v->mapToGlobal(at), QPoint(), QPoint(0, 240), Qt::NoButton,
                          Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(v, &event);
    }

    std::shared_ptr<ManualClockGraphFactory> graphs = std::make_shared<ManualClockGraphFactory>();
    GraphFactory::Scoped installed{graphs};
    test::MessageBoxRecorder messages;
};

TEST_F(FullScreenTest, doubleClickAndEsc_bringThePictureBackWhereItWas_tenTimesAtEverySize) {
    zoomIn(2);
    ASSERT_GT(video(2)->zoomView().zoom(), 1.0);
    roundTrips(1);
    roundTrips(2);

    const QSize normal = form->size();
    form->showMaximized();
    ASSERT_TRUE(eventually([&] { return form->size() != normal; }));
    QCoreApplication::processEvents();
    roundTrips(1);
    roundTrips(2);
    EXPECT_TRUE(messages.texts().isEmpty());
}

}  // namespace
}  // namespace corvid
