#pragma once

#include <QPoint>
#include <QPointF>
#include <QRect>
#include <QRectF>
#include <QSize>
#include <QSizeF>

namespace corvid {

// Which part of a picture a video window shows: all of it, or a part magnified 1x..8x
// that the user moves about. The part is kept in the picture's own pixels, so it stays
// put when the window is resized; window points are in the window's pixels, the shown
// part filling the whole window.
class ZoomView {
public:
    static constexpr double kMaxZoom = 8.0;

    // What the scaler converts for a window: a whole-pixel part of the picture (its
    // corner on the chroma grid), scaled to `scaled`, drawn with `offset` (never
    // positive) so that exactly the shown part covers the window.
    struct Crop {
        QRect source;
        QSize scaled;
        QPoint offset;
    };

    explicit ZoomView(QSize picture = QSize());

    QSize picture() const { return picture_; }
    double zoom() const { return zoom_; }
    bool isZoomed() const { return zoom_ > 1.0; }
    // The part of the picture shown, in picture pixels.
    QRectF shown() const;

    // Magnifies by `factor` (below 1 shrinks), the total kept within 1x..8x, keeping the
    // picture point under `at` where it is, as far as the picture's edges allow.
    void zoomAbout(QPointF at, QSize window, double factor);
    // Moves the picture with the pointer by `delta` window pixels, stopping at its edges.
    void panBy(QPointF delta, QSize window);
    void reset();

    // The picture point shown at a window point.
    QPointF toPicture(QPointF at, QSize window) const;

    // The crop for the shown part in a window of `window` pixels; `chromaWidth` and
    // `chromaHeight` are the picture's chroma subsampling factors (2 and 2 for 4:2:0).
    Crop crop(QSize window, int chromaWidth, int chromaHeight) const;

    bool operator==(const ZoomView& other) const = default;

private:
    void clamp();

    QSize picture_;
    double zoom_ = 1.0;
    QPointF corner_;  // the shown part's top-left corner, in picture pixels
};

}  // namespace corvid
