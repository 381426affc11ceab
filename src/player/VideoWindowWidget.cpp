#include "player/VideoWindowWidget.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QRegion>
#include <QWheelEvent>
#include <utility>

namespace corvid {

VideoWindowWidget::VideoWindowWidget(std::shared_ptr<FrameSlot> slot, QSize nativeSize)
    : slot_(std::move(slot)), placement_(QPoint(0, 0), nativeSize) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::ClickFocus);
    setWindowFlags(Qt::Window | Qt::FramelessWindowHint);
    resize(nativeSize);
    slot_->setTargetSize(nativeSize);
    slot_->attach(this);
}

VideoWindowWidget::~VideoWindowWidget() {
    slot_->attach(nullptr);
}

void VideoWindowWidget::setOwner(QWidget* owner) {
    owner_ = owner;
    if (fullScreen_) return;  // goes back to the new owner when full screen ends
    const bool visible = isVisible() || !isHidden();
    if (owner != nullptr) {
        setParent(owner, Qt::Widget);
    } else {
        setParent(nullptr, Qt::Window | Qt::FramelessWindowHint);
    }
    setGeometry(placement_);
    if (visible) show();
}

void VideoWindowWidget::setPlacement(const QRect& rect) {
    placement_ = rect;
    if (!fullScreen_) setGeometry(rect);
}

QRect VideoWindowWidget::placement() const {
    return placement_;
}

void VideoWindowWidget::setFullScreen(bool on) {
    if (on == fullScreen_) return;
    fullScreen_ = on;
    if (on) {
        setParent(nullptr, Qt::Window | Qt::FramelessWindowHint);
        showFullScreen();
        activateWindow();
        setFocus();
    } else {
        if (owner_) {
            setParent(owner_, Qt::Widget);
        } else {
            setParent(nullptr, Qt::Window | Qt::FramelessWindowHint);
        }
        setGeometry(placement_);
        show();
    }
}

void VideoWindowWidget::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QImage picture = slot_->picture();
    // The picture is scaled for this size off the GUI thread; until a new size has
    // been rendered the old picture is shown unscaled.
    // Black only where the picture does not reach: every pixel is written once per frame.
    const QRect covered = picture.isNull() ? QRect() : rect() & QRect(QPoint(0, 0), picture.size());
    for (const QRect& bare : QRegion(rect()) - covered) painter.fillRect(bare, Qt::black);
    if (!picture.isNull()) painter.drawImage(QPoint(0, 0), picture);
}

void VideoWindowWidget::resizeEvent(QResizeEvent* event) {
    slot_->setTargetSize(size());
    QWidget::resizeEvent(event);
}

void VideoWindowWidget::forward(QEvent* event) {
    if (drain_) QCoreApplication::sendEvent(drain_, event);
}

void VideoWindowWidget::forwardMouse(QMouseEvent* event) {
    if (!drain_) return;
    QMouseEvent mapped(event->type(), drain_->mapFromGlobal(event->globalPosition()),
                       event->scenePosition(), event->globalPosition(), event->button(),
                       event->buttons(), event->modifiers());
    QCoreApplication::sendEvent(drain_, &mapped);
}

void VideoWindowWidget::mousePressEvent(QMouseEvent* event) {
    forwardMouse(event);
}

void VideoWindowWidget::mouseReleaseEvent(QMouseEvent* event) {
    forwardMouse(event);
}

void VideoWindowWidget::mouseMoveEvent(QMouseEvent* event) {
    forwardMouse(event);
}

void VideoWindowWidget::mouseDoubleClickEvent(QMouseEvent* event) {
    if (fullScreen_) {
        setFullScreen(false);
        return;
    }
    forwardMouse(event);
}

void VideoWindowWidget::keyPressEvent(QKeyEvent* event) {
    if (fullScreen_ && event->key() == Qt::Key_Escape) {
        setFullScreen(false);
        return;
    }
    forward(event);
}

void VideoWindowWidget::keyReleaseEvent(QKeyEvent* event) {
    forward(event);
}

void VideoWindowWidget::wheelEvent(QWheelEvent* event) {
    forward(event);
}

}  // namespace corvid
