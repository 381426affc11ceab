#include "main_window/ProgressText.h"

#include <QPainter>
#include <QRegion>
#include <QStyle>

namespace corvid {

ProgressText::ProgressText(const QString& text, QWidget* parent) : QLabel(text, parent) {}

void ProgressText::setFill(QWidget* fill) {
    fill_ = fill;
    update();
}

void ProgressText::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QRect overFill =
        fill_ && fill_->isVisible() ? fill_->geometry().translated(-pos()) & rect() : QRect();
    const auto drawIn = [&](const QRegion& region, const QPalette& colours) {
        if (region.isEmpty()) return;
        painter.save();
        painter.setClipRegion(region);
        style()->drawItemText(&painter, contentsRect(), static_cast<int>(alignment()), colours,
                              isEnabled(), text(), foregroundRole());
        painter.restore();
    };
    drawIn(QRegion(rect()) - overFill, palette());
    QPalette white = palette();
    white.setColor(foregroundRole(), Qt::white);
    drawIn(overFill, white);
}

}  // namespace corvid
