#include "platform/widgets/FocusMark.h"

#include <QEvent>
#include <QPainter>
#include <QRegion>

namespace corvid {

namespace {

void fillRing(QPainter& painter, const QRect& outer, int width, const QColor& colour) {
    const QRect inner = outer.adjusted(width, width, -width, -width);
    for (const QRect& band : QRegion(outer) - QRegion(inner)) painter.fillRect(band, colour);
}

}  // namespace

void FocusMark::paint(QPainter& painter, const QRect& around) {
    painter.save();
    painter.setClipping(false);
    // Amber outside and black inside: one of the two stands out on any background.
    fillRing(painter, around, kWidth - 1, QColor(255, 176, 0));
    fillRing(painter, around.adjusted(kWidth - 1, kWidth - 1, 1 - kWidth, 1 - kWidth), 1,
             Qt::black);
    painter.restore();
}

FocusMark::FocusMark(QWidget* target) : QWidget(target) {
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setFocusPolicy(Qt::NoFocus);
    hide();
    target->installEventFilter(this);
}

bool FocusMark::eventFilter(QObject* watched, QEvent* event) {
    if (watched != parent()) return false;
    if (event->type() == QEvent::FocusIn) {
        setGeometry(parentWidget()->rect());
        raise();
        show();
    } else if (event->type() == QEvent::FocusOut) {
        hide();
    } else if (event->type() == QEvent::Resize) {
        setGeometry(parentWidget()->rect());
    }
    return false;
}

void FocusMark::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    paint(painter, rect());
}

}  // namespace corvid
