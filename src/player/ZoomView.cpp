#include "player/ZoomView.h"

#include <algorithm>
#include <cmath>

namespace corvid {

namespace {

// The whole-pixel span [from, to) covering [start, start + length), its start on a
// multiple of `grid`, within [0, limit).
std::pair<int, int> covering(double start, double length, int grid, int limit) {
    const int from = std::max(0, static_cast<int>(std::floor(start + 1e-9)) / grid * grid);
    const int to = std::min(limit, static_cast<int>(std::ceil(start + length - 1e-9)));
    return {from, std::max(from + 1, to)};
}

}  // namespace

ZoomView::ZoomView(QSize picture) : picture_(picture) {}

QRectF ZoomView::shown() const {
    return {corner_, QSizeF(picture_.width() / zoom_, picture_.height() / zoom_)};
}

void ZoomView::reset() {
    zoom_ = 1.0;
    corner_ = {};
}

QPointF ZoomView::toPicture(QPointF at, QSize window) const {
    if (window.isEmpty()) return corner_;
    const QRectF part = shown();
    return {part.x() + at.x() * part.width() / window.width(),
            part.y() + at.y() * part.height() / window.height()};
}

void ZoomView::zoomAbout(QPointF at, QSize window, double factor) {
    if (picture_.isEmpty() || window.isEmpty() || !(factor > 0)) return;
    const QPointF fixed = toPicture(at, window);
    zoom_ = std::clamp(zoom_ * factor, 1.0, kMaxZoom);
    const QRectF part = shown();
    corner_ = {fixed.x() - at.x() * part.width() / window.width(),
               fixed.y() - at.y() * part.height() / window.height()};
    clamp();
}

void ZoomView::panBy(QPointF delta, QSize window) {
    if (picture_.isEmpty() || window.isEmpty()) return;
    const QRectF part = shown();
    corner_ -= QPointF(delta.x() * part.width() / window.width(),
                       delta.y() * part.height() / window.height());
    clamp();
}

void ZoomView::clamp() {
    const QRectF part = shown();
    corner_.setX(std::clamp(corner_.x(), 0.0, picture_.width() - part.width()));
    corner_.setY(std::clamp(corner_.y(), 0.0, picture_.height() - part.height()));
}

ZoomView::Crop ZoomView::crop(QSize window, int chromaWidth, int chromaHeight) const {
    const QRectF part = shown();
    if (picture_.isEmpty() || window.isEmpty() || !isZoomed())
        return {QRect(QPoint(0, 0), picture_), window, QPoint(0, 0)};
    const double scaleX = window.width() / part.width();
    const double scaleY = window.height() / part.height();
    const auto [left, right] =
        covering(part.x(), part.width(), std::max(1, chromaWidth), picture_.width());
    const auto [top, bottom] =
        covering(part.y(), part.height(), std::max(1, chromaHeight), picture_.height());
    Crop crop;
    crop.source = QRect(left, top, right - left, bottom - top);
    crop.offset = QPoint(-static_cast<int>(std::lround((part.x() - left) * scaleX)),
                         -static_cast<int>(std::lround((part.y() - top) * scaleY)));
    // Rounding never leaves a bare line at the window's far edges.
    crop.scaled = QSize(std::max(static_cast<int>(std::lround((right - left) * scaleX)),
                                 window.width() - crop.offset.x()),
                        std::max(static_cast<int>(std::lround((bottom - top) * scaleY)),
                                 window.height() - crop.offset.y()));
    return crop;
}

}  // namespace corvid
