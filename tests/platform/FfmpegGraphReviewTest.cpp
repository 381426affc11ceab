#include <gtest/gtest.h>

#include <QApplication>
#include <QDateTime>
#include <QMouseEvent>
#include <QTimeZone>
#include <QWheelEvent>
#include <QWidget>
#include <cmath>

#include "platform/graph/FfmpegGraph.h"
#include "platform/graph/IVideoWindow.h"
#include "platform/widgets/WindowHandles.h"
#include "player_output/VideoWindowWidget.h"
#include "support/Eventually.h"
#include "support/ManualClock.h"
#include "support/PictureReader.h"
#include "support/TestMedia.h"
#include "util/Failure.h"

namespace corvid {
namespace {

using test::eventually;
using test::MediaRecipe;
using test::PictureReader;
using test::TestMedia;

// Whether two colours are the same up to the codec's noise.
bool near(QRgb a, QRgb b, int tolerance = 8) {
    return std::abs(qRed(a) - qRed(b)) <= tolerance &&
           std::abs(qGreen(a) - qGreen(b)) <= tolerance &&
           std::abs(qBlue(a) - qBlue(b)) <= tolerance;
}

std::string colour(QRgb c) {
    return std::to_string(qRed(c)) + "," + std::to_string(qGreen(c)) + "," +
           std::to_string(qBlue(c));
}

class FfmpegGraphReviewTest : public ::testing::Test {
protected:
    // A graph on the manual clock, its video at native size in the host.
    std::shared_ptr<FfmpegGraph> open(const std::string& path) {
        FfmpegGraph::Options options;
        options.clock = clock;
        auto graph = std::make_shared<FfmpegGraph>(options);
        graph->RenderFile(path);
        host.resize(400, 320);
        QPalette palette = host.palette();
        palette.setColor(QPalette::Window, Qt::black);
        host.setPalette(palette);
        host.setAutoFillBackground(true);
        host.show();
        graph->put_WindowStyle(IVideoWindow::kStyleVisible);
        graph->put_Owner(WindowHandles::handleOf(&host));
        graph->SetWindowPosition(0, 0, graph->get_Width(), graph->get_Height());
        video = static_cast<VideoWindowWidget*>(graph->videoWidget());
        return graph;
    }

    static std::string gradient() {
        MediaRecipe recipe;
        recipe.seconds = 2;
        recipe.audio = false;
        recipe.pattern = MediaRecipe::Pattern::Gradient;
        recipe.videoQuality = 2;
        return TestMedia::make(recipe);
    }

    // The video's pixels once the picture for its present size and zoom is painted.
    QImage settled() {
        EXPECT_TRUE(eventually([&] { return video->pictureFitsView(); }));
        QApplication::processEvents();
        return video->grab().toImage();
    }

    void wheel(QPointF at, int delta) {
        QWheelEvent event(at, video->mapToGlobal(at), QPoint(), QPoint(0, delta), Qt::NoButton,
                          Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(video, &event);
    }

    void drag(QPointF from, QPointF to) {
        const auto send = [&](QEvent::Type type, QPointF at, Qt::MouseButtons buttons) {
            QMouseEvent event(type, at, video->mapToGlobal(at), Qt::LeftButton, buttons,
                              Qt::NoModifier);
            QApplication::sendEvent(video, &event);
        };
        send(QEvent::MouseButtonPress, from, Qt::LeftButton);
        send(QEvent::MouseMove, (from + to) / 2, Qt::LeftButton);
        send(QEvent::MouseMove, to, Qt::LeftButton);
        send(QEvent::MouseButtonRelease, to, Qt::NoButton);
    }

    std::shared_ptr<ManualClock> clock = std::make_shared<ManualClock>();
    QWidget host;
    VideoWindowWidget* video = nullptr;
};

TEST_F(FfmpegGraphReviewTest, wheel_keepsThePixelUnderThePointer_whileZoomingInAndOut) {
    auto graph = open(gradient());
    graph->put_TimeOverlay(false);
    const QImage whole = settled();
    const QPoint pointer(80, 60);
    const QPoint aside(180, 140);
    for (const int delta : {120, 240, 360, -240, -120}) {
        wheel(pointer, delta);
        const QImage zoomed = settled();
        const double zoom = graph->get_Zoom();
        SCOPED_TRACE(testing::Message() << "zoom " << zoom);
        EXPECT_TRUE(near(zoomed.pixel(pointer), whole.pixel(pointer)))
            << colour(zoomed.pixel(pointer)) << " was " << colour(whole.pixel(pointer));
        // A point away from the pointer shows what lay 1/zoom as far from it.
        const QPoint source = pointer + (aside - pointer) / zoom;
        EXPECT_TRUE(near(zoomed.pixel(aside), whole.pixel(source)))
            << colour(zoomed.pixel(aside)) << " expected " << colour(whole.pixel(source));
        if (zoom > 1.5) {
            EXPECT_FALSE(near(zoomed.pixel(aside), whole.pixel(aside), 12));
        }
    }
    EXPECT_NEAR(graph->get_Zoom(), std::pow(1.25, 3), 1e-9);
    for (int i = 0; i < 30; ++i) wheel(pointer, 120);
    EXPECT_DOUBLE_EQ(graph->get_Zoom(), 8.0);
    for (int i = 0; i < 30; ++i) wheel(pointer, -120);
    EXPECT_DOUBLE_EQ(graph->get_Zoom(), 1.0);
}

TEST_F(FfmpegGraphReviewTest, drag_movesAZoomedPicture_andStopsAtItsEdges) {
    auto graph = open(gradient());
    graph->put_TimeOverlay(false);
    const QImage whole = settled();
    const QPoint last(video->width() - 1, video->height() - 1);
    drag({100, 100}, {150, 150});
    EXPECT_DOUBLE_EQ(graph->get_Zoom(), 1.0);  // nothing to move, nothing zoomed
    wheel({176, 144}, 480);
    const QImage centred = settled();
    drag({100, 100}, {2000, 2000});
    QImage moved = settled();
    EXPECT_TRUE(near(moved.pixel(0, 0), whole.pixel(0, 0)))
        << colour(moved.pixel(0, 0)) << " corner " << colour(whole.pixel(0, 0));
    EXPECT_FALSE(near(moved.pixel(0, 0), centred.pixel(0, 0), 12));
    drag({300, 250}, {-2000, -2000});
    moved = settled();
    EXPECT_TRUE(near(moved.pixel(last), whole.pixel(last)))
        << colour(moved.pixel(last)) << " corner " << colour(whole.pixel(last));
    EXPECT_GT(graph->get_Zoom(), 2.0);
}

TEST_F(FfmpegGraphReviewTest, zoom_survivesPlaySeekAndResize_untilReset) {
    auto graph = open(gradient());
    graph->put_TimeOverlay(false);
    const QImage whole = settled();
    const QPoint pointer(90, 70);
    wheel(pointer, 360);
    const double zoom = graph->get_Zoom();
    graph->put_CurrentPosition(1.0);
    graph->Run();
    clock->advance(0.5);
    // Three quarters of the size: the same picture point is under the pointer's new place.
    graph->SetWindowPosition(0, 0, 264, 216);
    const QImage resized = settled();
    EXPECT_DOUBLE_EQ(graph->get_Zoom(), zoom);
    const QPoint scaled = pointer * 3 / 4;
    EXPECT_TRUE(near(resized.pixel(scaled), whole.pixel(pointer)))
        << colour(resized.pixel(scaled)) << " was " << colour(whole.pixel(pointer));
    graph->ResetZoom();
    EXPECT_DOUBLE_EQ(graph->get_Zoom(), 1.0);
    const QImage reset = settled();
    EXPECT_TRUE(near(reset.pixel(0, 0), whole.pixel(0, 0)));
}

TEST_F(FfmpegGraphReviewTest, getCurrentImage_isThePictureShown_atNativeSizeUnzoomed) {
    MediaRecipe recipe;
    recipe.seconds = 4;
    recipe.width = 320;
    recipe.height = 240;
    recipe.audio = false;  // the manual clock alone moves the pictures
    const std::string path = TestMedia::make(recipe);
    const auto times = TestMedia::videoPacketTimes(path);
    auto graph = open(path);
    graph->put_TimeOverlay(false);
    graph->Run();
    for (const double t : {0.7, 1.9, 3.1}) {
        clock->set(t);
        int shown = -1;
        EXPECT_TRUE(eventually([&] {
            shown = PictureReader::frameShownIn(&host);
            return shown >= 0 && shown < static_cast<int>(times.size()) && times[shown] <= t &&
                   t < times[shown] + 0.04;
        })) << t
            << " shows " << shown;
        if (shown < 0 || shown >= static_cast<int>(times.size())) continue;
        double time = -1;
        const QImage still = graph->GetCurrentImage(time);
        EXPECT_EQ(still.size(), QSize(320, 240));
        EXPECT_EQ(PictureReader::readFrameIndex(still, still.rect()), shown) << t;
        EXPECT_NEAR(time, times[shown], 0.0015);
    }
    // Zoomed in, the still is still the whole picture at its own size.
    wheel({50, 50}, 600);
    settled();
    double time = -1;
    const QImage still = graph->GetCurrentImage(time);
    EXPECT_EQ(still.size(), QSize(320, 240));
    EXPECT_GE(PictureReader::readFrameIndex(still, still.rect()), 0);
}

TEST_F(FfmpegGraphReviewTest, timeOverlay_showsPositionAndLocalWallClock_untilHidden) {
    MediaRecipe recipe;
    recipe.seconds = 4;
    recipe.audio = false;
    recipe.creationTime = "2022-02-03T04:05:06.700Z";
    const std::string path = TestMedia::make(recipe);
    auto graph = open(path);
    graph->put_CurrentPosition(2.5);
    ASSERT_TRUE(eventually([&] { return std::abs(graph->shownPictureTime() - 2.5) < 0.04; }));
    const double t = graph->shownPictureTime();
    const QDateTime recorded(QDate(2022, 2, 3), QTime(4, 5, 6, 700), QTimeZone::utc());
    const QString expected =
        QTime(0, 0).addMSecs(static_cast<int>(std::lround(t * 1000))).toString("hh:mm:ss.zzz") +
        "\n" +
        recorded.addMSecs(std::lround(t * 1000)).toLocalTime().toString("yyyy-MM-dd HH:mm:ss");
    EXPECT_TRUE(eventually([&] { return video->overlayText() == expected; }))
        << video->overlayText().toStdString() << " expected " << expected.toStdString();
    EXPECT_TRUE(graph->get_TimeOverlay());

    // The overlay darkens the picture's top-right corner; hidden, the corner is plain.
    const QPoint corner(video->width() - 12, 12);
    const QImage shown = settled();
    graph->put_TimeOverlay(false);
    EXPECT_TRUE(video->overlayText().isEmpty());
    const QImage hidden = settled();
    EXPECT_LT(qGray(shown.pixel(corner)) + 20, qGray(hidden.pixel(corner)));

    // A recording whose header has no date shows its position only.
    auto undated = open(TestMedia::wmv2WithAudio());
    EXPECT_TRUE(eventually([&] { return !video->overlayText().isEmpty(); }));
    EXPECT_FALSE(video->overlayText().contains('\n')) << video->overlayText().toStdString();
}

TEST_F(FfmpegGraphReviewTest, reviewCalls_fail_withoutVideo) {
    FfmpegGraph::Options options;
    options.clock = clock;
    auto graph = std::make_shared<FfmpegGraph>(options);
    double time = 0;
    EXPECT_THROW(graph->GetCurrentImage(time), Failure);
    graph->RenderFile(TestMedia::audioOnly());
    auto review = graph->QueryVideoReview();
    EXPECT_THROW(review->GetCurrentImage(time), Failure);
    EXPECT_THROW(review->ResetZoom(), Failure);
    EXPECT_THROW(review->put_TimeOverlay(true), Failure);
}

}  // namespace
}  // namespace corvid
