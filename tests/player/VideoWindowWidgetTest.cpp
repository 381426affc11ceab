#include "player_output/VideoWindowWidget.h"

#include <gtest/gtest.h>

#include <QScreen>
#include <QTest>
#include <QWidget>
#include <algorithm>
#include <memory>

#include "platform/graph/FfmpegGraph.h"
#include "platform/graph/IVideoWindow.h"
#include "platform/widgets/WindowHandles.h"
#include "support/Eventually.h"
#include "support/ManualClock.h"
#include "support/TestMedia.h"

namespace corvid {
namespace {

using test::TestMedia;

// Where the picture lies, from the pixels along the middle row and the middle column:
// clear of the time overlay in a corner.
QRect pictureAcrossTheMiddle(const QImage& image) {
    const auto lit = [&](int x, int y) {
        const QColor c = image.pixelColor(x, y);
        return std::max({c.red(), c.green(), c.blue()}) > 40;
    };
    const int row = image.height() / 2;
    const int column = image.width() / 2;
    int left = image.width(), right = -1, top = image.height(), bottom = -1;
    for (int x = 0; x < image.width(); ++x) {
        if (!lit(x, row)) continue;
        left = std::min(left, x);
        right = std::max(right, x);
    }
    for (int y = 0; y < image.height(); ++y) {
        if (!lit(column, y)) continue;
        top = std::min(top, y);
        bottom = std::max(bottom, y);
    }
    return right < 0 || bottom < 0 ? QRect() : QRect(QPoint(left, top), QPoint(right, bottom));
}

// The video window of a real graph (704 x 576 camera pictures) in a small host.
class VideoWindowWidgetTest : public ::testing::Test {
protected:
    VideoWindowWidgetTest() {
        FfmpegGraph::Options options;
        options.clock = std::make_shared<ManualClock>();
        graph = std::make_unique<FfmpegGraph>(options);
        graph->RenderFile(TestMedia::msmpeg4NoAudio());
        host.resize(400, 320);
        host.show();
        graph->put_WindowStyle(IVideoWindow::kStyleVisible);
        graph->put_Owner(WindowHandles::handleOf(&host));
        graph->SetWindowPosition(0, 0, 352, 288);
        video = graph->videoWidget();
    }

    QWidget host;
    std::unique_ptr<FfmpegGraph> graph;
    QWidget* video = nullptr;
};

TEST_F(VideoWindowWidgetTest, fullScreen_keepsThePicturesProportions_betweenBlackBars) {
    graph->put_FullScreenMode(-1);
    const QSize screen = video->screen()->geometry().size();
    const double source = 704.0 / 576.0;
    ASSERT_GT(std::abs(double(screen.width()) / screen.height() - source), 0.05);

    // Read from the pixels shown, once the picture has been scaled for the screen.
    QRect picture;
    const bool fitted = test::eventually([&] {
        picture = pictureAcrossTheMiddle(video->grab().toImage());
        return video->size() == screen &&
               (picture.width() == screen.width() || picture.height() == screen.height());
    });
    ASSERT_TRUE(fitted) << picture.width() << "x" << picture.height();
    EXPECT_NEAR(double(picture.width()) / picture.height(), source, 0.01 * source);
    EXPECT_LE((picture.center() - video->rect().center()).manhattanLength(), 2);

    // Back in its window the picture fills the video window again, as the host placed it.
    QTest::keyClick(video, Qt::Key_Escape);
    EXPECT_TRUE(test::eventually(
        [&] { return pictureAcrossTheMiddle(video->grab().toImage()) == QRect(0, 0, 352, 288); }));
}

}  // namespace
}  // namespace corvid
