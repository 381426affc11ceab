#include "player_control/VideoSurface.h"

#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QPalette>

#include "platform/graph/GraphNotice.h"

namespace corvid {

VideoSurface::VideoSurface(QWidget* parent) : QWidget(parent) {
    QPalette colours = palette();
    colours.setColor(QPalette::Window, Qt::black);
    setPalette(colours);
    setAutoFillBackground(true);
    setFocusPolicy(Qt::StrongFocus);
}

void VideoSurface::setNotice(const QString& text) {
    if (text == notice_) return;
    notice_ = text;
    update();
}

void VideoSurface::clearNotice() {
    setNotice(QString());
}

bool VideoSurface::event(QEvent* event) {
    if (event->type() == GraphNotice::kind()) {
        emit graphNotice();
        return true;
    }
    return QWidget::event(event);
}

void VideoSurface::setHint(const QString& text) {
    if (text == hint_) return;
    hint_ = text;
    update();
}

void VideoSurface::paintEvent(QPaintEvent* event) {
    QWidget::paintEvent(event);
    // The foreground colour is the system's window text, which is dark: the texts need
    // light colours of their own to be readable on the black surface.
    const bool notice = !notice_.isEmpty();
    if (notice || !hint_.isEmpty()) {
        QPainter painter(this);
        painter.setPen(notice ? QColor(230, 230, 230) : QColor(150, 150, 150));
        painter.drawText(rect().adjusted(8, 8, -8, -8), Qt::AlignCenter | Qt::TextWordWrap,
                         notice ? notice_ : hint_);
    }
    emit painted();
}

void VideoSurface::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::RightButton) emit menuRequested(event->globalPosition().toPoint());
    // Mouse input on the video stays here: it must not reach the panel's own handlers.
    event->accept();
}

void VideoSurface::mouseDoubleClickEvent(QMouseEvent* event) {
    event->accept();
}

}  // namespace corvid
