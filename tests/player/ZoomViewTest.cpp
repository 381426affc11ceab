#include "player/ZoomView.h"

#include <gtest/gtest.h>

#include <cmath>

namespace corvid {
namespace {

class ZoomViewTest : public ::testing::Test {
protected:
    const QSize picture{704, 576};
    const QSize window{352, 288};
    ZoomView view{picture};

    static void expectNear(QPointF actual, QPointF expected, double tolerance = 1e-6) {
        EXPECT_NEAR(actual.x(), expected.x(), tolerance);
        EXPECT_NEAR(actual.y(), expected.y(), tolerance);
    }
};

TEST_F(ZoomViewTest, zoomAbout_keepsThePicturePointUnderThePointer_inAndOut) {
    const QPointF pointers[] = {{100, 80}, {300, 250}, {5, 280}, {176, 144}};
    for (const QPointF at : pointers) {
        const QPointF under = view.toPicture(at, window);
        for (const double factor : {1.5, 2.0, 1.25}) {
            view.zoomAbout(at, window, factor);
            expectNear(view.toPicture(at, window), under);
        }
        view.zoomAbout(at, window, 1 / 1.5);
        expectNear(view.toPicture(at, window), under);
        // A later pointer zooms about its own point, from wherever the view is.
        view.zoomAbout(at, window, 1 / 1.25);
    }
}

TEST_F(ZoomViewTest, zoomAbout_staysWithinOneToEightTimes) {
    for (int i = 0; i < 20; ++i) view.zoomAbout({10, 10}, window, 1.5);
    EXPECT_DOUBLE_EQ(view.zoom(), ZoomView::kMaxZoom);
    EXPECT_DOUBLE_EQ(view.shown().width(), picture.width() / 8.0);
    for (int i = 0; i < 20; ++i) view.zoomAbout({300, 200}, window, 0.5);
    EXPECT_DOUBLE_EQ(view.zoom(), 1.0);
    EXPECT_EQ(view.shown(), QRectF(QPointF(0, 0), QSizeF(picture)));
    view.zoomAbout({1, 1}, window, 0);
    view.zoomAbout({1, 1}, window, std::nan(""));
    EXPECT_DOUBLE_EQ(view.zoom(), 1.0);
}

TEST_F(ZoomViewTest, zoomingOut_nearAnEdge_neverShowsBeyondThePicture) {
    view.zoomAbout({340, 280}, window, 4);
    view.zoomAbout({0, 0}, window, 0.6);
    const QRectF shown = view.shown();
    EXPECT_GE(shown.left(), 0);
    EXPECT_GE(shown.top(), 0);
    EXPECT_LE(shown.right(), picture.width() + 1e-9);
    EXPECT_LE(shown.bottom(), picture.height() + 1e-9);
}

TEST_F(ZoomViewTest, panBy_followsThePointer_andStopsAtThePictureEdges) {
    view.panBy({50, 50}, window);
    EXPECT_EQ(view.shown().topLeft(), QPointF(0, 0));  // nothing to move at 1x

    view.zoomAbout({176, 144}, window, 4);
    const QPointF before = view.toPicture({100, 100}, window);
    view.panBy({-20, 10}, window);
    // The picture point that was under (100, 100) moved with the pointer.
    expectNear(view.toPicture({80, 110}, window), before);

    view.panBy({100000, 100000}, window);
    EXPECT_EQ(view.shown().topLeft(), QPointF(0, 0));
    view.panBy({-100000, -100000}, window);
    EXPECT_NEAR(view.shown().right(), picture.width(), 1e-9);
    EXPECT_NEAR(view.shown().bottom(), picture.height(), 1e-9);
}

TEST_F(ZoomViewTest, crop_isTheWholePicture_whenNotZoomed) {
    const ZoomView::Crop crop = view.crop(window, 2, 2);
    EXPECT_EQ(crop.source, QRect(QPoint(0, 0), picture));
    EXPECT_EQ(crop.scaled, window);
    EXPECT_EQ(crop.offset, QPoint(0, 0));
}

TEST_F(ZoomViewTest, crop_convertsOnlyTheShownPart_andPlacesItExactly) {
    for (const double factor : {1.3, 2.0, 3.7, 8.0}) {
        ZoomView zoomed(picture);
        zoomed.zoomAbout({123, 77}, window, factor);
        const ZoomView::Crop crop = zoomed.crop(window, 2, 2);
        SCOPED_TRACE(factor);
        EXPECT_EQ(crop.source.x() % 2, 0);
        EXPECT_EQ(crop.source.y() % 2, 0);
        EXPECT_TRUE(QRectF(crop.source).contains(zoomed.shown()));
        // No more than a chroma cell and a pixel beyond the shown part on any side.
        EXPECT_LE(crop.source.width(), zoomed.shown().width() + 4);
        EXPECT_LE(crop.source.height(), zoomed.shown().height() + 4);
        // The scaled crop covers the window...
        EXPECT_LE(crop.offset.x(), 0);
        EXPECT_LE(crop.offset.y(), 0);
        EXPECT_GE(crop.offset.x() + crop.scaled.width(), window.width());
        EXPECT_GE(crop.offset.y() + crop.scaled.height(), window.height());
        // ...and a window pixel shows the picture point the view says, within a pixel.
        for (const QPointF at : {QPointF(0, 0), QPointF(200, 150), QPointF(351, 287)}) {
            const QPointF inCrop = at - QPointF(crop.offset);
            const QPointF viaCrop(
                crop.source.x() + inCrop.x() * crop.source.width() / crop.scaled.width(),
                crop.source.y() + inCrop.y() * crop.source.height() / crop.scaled.height());
            const double pixel = zoomed.shown().width() / window.width();
            expectNear(viaCrop, zoomed.toPicture(at, window), pixel + 1e-6);
        }
    }
}

}  // namespace
}  // namespace corvid
