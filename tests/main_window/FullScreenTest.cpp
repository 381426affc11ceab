#include <gtest/gtest.h>

#include <QApplication>
#include <QCursor>
#include <QListWidget>
#include <QMouseEvent>
#include <QTest>
#include <QWheelEvent>
#include <memory>

#include "main_window/Form1.h"
#include "platform/graph/GraphFactory.h"
#include "player_control/QVRControl.h"
#include "player_control/VideoSurface.h"
#include "player_output/VideoWindowWidget.h"
#include "support/Eventually.h"
#include "support/ManualClockWindowTest.h"
#include "support/PictureReader.h"
#include "support/TestMedia.h"

namespace corvid {
namespace {

using test::eventually;

QSize cameraSize(int number) {
    return number == 1 ? QSize(352, 288) : QSize(320, 240);
}

std::string camera(int number) {
    test::MediaRecipe recipe;
    recipe.seconds = 4;
    const QSize size = cameraSize(number);
    recipe.width = size.width();
    recipe.height = size.height();
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
class FullScreenTest : public test::ManualClockWindowTest {
protected:
    void SetUp() override {
        copyPair("day", camera(1), camera(2));
        showOnFolder(1);
        load(form->lsASF->item(0)->text());
        // The time written over the picture would reach into the bars of full screen.
        for (int number : {1, 2}) panel(number)->SetTimeOverlay(false);
    }

    VideoWindowWidget* video(int number) const {
        return panel(number)->PicVid->findChild<VideoWindowWidget*>();
    }
    Placement placement(const VideoWindowWidget* v) const {
        return {v->parentWidget(), v->geometry(), v->mapTo(form.get(), QPoint(0, 0)),
                v->zoomView()};
    }
    static bool fullScreen(const VideoWindowWidget* v) {
        return v->isWindow() && v->isFullScreenMode() && v->isFullScreen() && v->isVisible();
    }

    // Enters and leaves full screen ten times, by double-click and by F with the panel
    // focused, leaving by double-click or Esc; checks where the picture goes each way.
    void roundTrips(int number) {
        // Full screen takes the picture out of its panel: it is held from here.
        VideoWindowWidget* picture = video(number);
        ASSERT_NE(picture, nullptr);
        const Placement before = placement(picture);
        ASSERT_EQ(before.parent, panel(number)->PicVid);
        for (int round = 0; round < 10; ++round) {
            const bool enterByKey = round % 2 == 1;
            const bool leaveByKey = enterByKey || round % 4 == 2;
            QWidget* const focusedBefore = form->focusWidget();
            if (enterByKey) {
                // With no panel focused, F takes the one under the pointer.
                QCursor::setPos(picture->mapToGlobal(picture->rect().center()));
                QTest::keyClick(form.get(), Qt::Key_F);
            } else if (round % 4 == 2) {
                twoQuickClicks(picture, picture->rect().center());
            } else {
                QTest::mouseDClick(picture, Qt::LeftButton, {}, picture->rect().center());
            }
            ASSERT_TRUE(fullScreen(picture)) << "round " << round;
            EXPECT_TRUE(
                eventually([&] { return picture->geometry() == picture->screen()->geometry(); }));
            expectNear(shownPicture(picture), fitted(cameraSize(number), picture->rect()), round);
            if (leaveByKey) {
                QTest::keyClick(picture, Qt::Key_Escape);
            } else if (round == 4) {
                twoQuickClicks(picture, QPoint(5, 5));
            } else {
                QTest::mouseDClick(picture, Qt::LeftButton, {}, QPoint(5, 5));
            }
            ASSERT_FALSE(picture->isFullScreenMode()) << "round " << round;
            EXPECT_EQ(placement(picture), before) << "round " << round;
            EXPECT_TRUE(picture->isVisible());
            // The keyboard's focus is back where it was: on the panel clicked, or nowhere.
            EXPECT_EQ(form->focusWidget(), enterByKey ? focusedBefore : panel(number)->PicVid)
                << "round " << round;
            // The focus mark would cover the picture's edge.
            panel(number)->PicVid->clearFocus();
            expectNear(shownPicture(picture), picture->rect(), round);
        }
        EXPECT_TRUE(eventually([&] { return picture->pictureFitsView(); }));
    }

    // Two quick clicks as the window system may deliver them to the picture's own window:
    // presses and releases, with no double-click made of them.
    static void twoQuickClicks(QWidget* picture, QPoint at) {
        static quint64 time = 1'000'000'000;
        time += 100'000;
        picture->setFocus(Qt::MouseFocusReason);  // what the window system's press gives
        for (int click = 0; click < 2; ++click) {
            for (const QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease}) {
                const bool press = type == QEvent::MouseButtonPress;
                QMouseEvent event(type, at, picture->mapToGlobal(QPointF(at)), Qt::LeftButton,
                                  press ? Qt::LeftButton : Qt::NoButton, {});
                event.setTimestamp(time += 60);
                QApplication::sendEvent(picture, &event);
            }
        }
    }

    // Where the picture is drawn in its video widget, once drawn for the widget's size.
    QRect shownPicture(VideoWindowWidget* picture) {
        if (!eventually([&] { return picture->pictureFitsView(); })) return {};
        return test::PictureReader::findPicture(test::PictureReader::grab(picture));
    }
    static void expectNear(const QRect& shown, const QRect& expected, int round) {
        const QRect within1 = expected.adjusted(-1, -1, 1, 1);
        EXPECT_TRUE(within1.contains(shown) && shown.contains(expected.adjusted(1, 1, -1, -1)))
            << "round " << round << ": shown " << shown.x() << ',' << shown.y() << ' '
            << shown.width() << 'x' << shown.height() << ", expected " << expected.x() << ','
            << expected.y() << ' ' << expected.width() << 'x' << expected.height();
    }
    // The largest rectangle of the picture's proportions, centred in `screen`.
    static QRect fitted(const QSize& picture, const QRect& screen) {
        const QSize size = picture.scaled(screen.size(), Qt::KeepAspectRatio);
        return QRect(
            QPoint((screen.width() - size.width()) / 2, (screen.height() - size.height()) / 2),
            size);
    }

    void zoomIn(int number) {
        VideoWindowWidget* v = video(number);
        const QPointF at = v->rect().center();
        QWheelEvent event(at, v->mapToGlobal(at), QPoint(), QPoint(0, 240), Qt::NoButton,
                          Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(v, &event);
    }
};

TEST_F(FullScreenTest,
       doubleClickOrF_thenDoubleClickOrEsc_bringThePictureBackWhereItWas_atEverySize) {
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
