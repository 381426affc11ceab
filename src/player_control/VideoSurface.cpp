#include "player_control/VideoSurface.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QPalette>

#include "platform/graph/GraphNotice.h"
#include "platform/widgets/FocusMark.h"

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
    QPainter painter(this);
    if (notice || !hint_.isEmpty()) {
        painter.setPen(notice ? QColor(230, 230, 230) : QColor(150, 150, 150));
        painter.drawText(rect().adjusted(8, 8, -8, -8), Qt::AlignCenter | Qt::TextWordWrap,
                         notice ? notice_ : hint_);
    }
    // The video above draws the mark again where it covers the surface.
    if (hasFocus()) FocusMark::paint(painter, rect());
    painter.end();
    emit painted();
}

void VideoSurface::focusInEvent(QFocusEvent* event) {
    QWidget::focusInEvent(event);
    updateFocusMark();
}

void VideoSurface::focusOutEvent(QFocusEvent* event) {
    QWidget::focusOutEvent(event);
    updateFocusMark();
}

void VideoSurface::updateFocusMark() {
    update();
    for (QWidget* video : findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) video->update();
}

// The keyboard's way to the panel's menu, opened over the picture's middle.
void VideoSurface::keyPressEvent(QKeyEvent* event) {
    const bool shiftF10 = event->key() == Qt::Key_F10 &&
                          (event->modifiers() & ~Qt::KeypadModifier) == Qt::ShiftModifier;
    if (event->key() == Qt::Key_Menu || shiftF10) {
        emit menuRequested(mapToGlobal(rect().center()));
        event->accept();
        return;
    }
    QWidget::keyPressEvent(event);
}

void VideoSurface::contextMenuEvent(QContextMenuEvent* event) {
    // The mouse's right button opens the menu on its press already.
    if (event->reason() != QContextMenuEvent::Mouse)
        emit menuRequested(mapToGlobal(rect().center()));
    event->accept();
}

void VideoSurface::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::RightButton) emit menuRequested(event->globalPosition().toPoint());
    // Mouse input on the video stays here: it must not reach the panel's own handlers.
    event->accept();
}

void VideoSurface::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) emit doubleClicked();
    event->accept();
}

}  // namespace corvid
