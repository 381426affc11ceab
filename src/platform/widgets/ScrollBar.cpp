#include "platform/widgets/ScrollBar.h"

#include <QKeyEvent>
#include <QScopedValueRollback>
#include <string>

#include "util/Failure.h"
#include "util/Numeric.h"

namespace corvid {

ScrollBar::ScrollBar(QWidget* parent) : ScrollBar(Qt::Horizontal, parent) {}

ScrollBar::ScrollBar(Qt::Orientation orientation, QWidget* parent)
    : QScrollBar(orientation, parent) {
    connect(this, &QAbstractSlider::sliderPressed, this, &ScrollBar::onSliderPressed);
    connect(this, &QAbstractSlider::valueChanged, this, &ScrollBar::onValueChanged);
    connect(this, &QAbstractSlider::sliderReleased, this, &ScrollBar::onSliderReleased);
}

std::int16_t ScrollBar::Value() const {
    return static_cast<std::int16_t>(value());
}

void ScrollBar::SetValue(int value) {
    if (value < minimum() || value > maximum()) {
        throw Failure(Failure::InvalidArgument, "scroll bar value " + std::to_string(value) +
                                                    " outside " + std::to_string(minimum()) + ".." +
                                                    std::to_string(maximum()));
    }
    setValue(value);
}

std::int16_t ScrollBar::Min() const {
    return static_cast<std::int16_t>(minimum());
}
std::int16_t ScrollBar::Max() const {
    return static_cast<std::int16_t>(maximum());
}

void ScrollBar::SetMin(int value) {
    setMinimum(narrowToInt16(value));
}
void ScrollBar::SetMax(int value) {
    setMaximum(narrowToInt16(value));
}
void ScrollBar::SetSmallChange(int value) {
    setSingleStep(narrowToInt16(value));
}
void ScrollBar::SetLargeChange(int value) {
    setPageStep(narrowToInt16(value));
}

// A value change is a drag step only while the pointer moves a held thumb; a program
// setting the value during a drag is an ordinary change.
void ScrollBar::mousePressEvent(QMouseEvent* event) {
    const QScopedValueRollback guard(inPointerEvent_, true);
    QScrollBar::mousePressEvent(event);
}

void ScrollBar::mouseMoveEvent(QMouseEvent* event) {
    const QScopedValueRollback guard(inPointerEvent_, true);
    QScrollBar::mouseMoveEvent(event);
}

// Qt's scroll bars invert the arrow keys; here Right and Down increase, Left and Up decrease.
void ScrollBar::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
        case Qt::Key_Right:
        case Qt::Key_Down:
            triggerAction(SliderSingleStepAdd);
            break;
        case Qt::Key_Left:
        case Qt::Key_Up:
            triggerAction(SliderSingleStepSub);
            break;
        case Qt::Key_PageDown:
            triggerAction(SliderPageStepAdd);
            break;
        case Qt::Key_PageUp:
            triggerAction(SliderPageStepSub);
            break;
        case Qt::Key_Home:
            triggerAction(SliderToMinimum);
            break;
        case Qt::Key_End:
            triggerAction(SliderToMaximum);
            break;
        default:
            QScrollBar::keyPressEvent(event);
            return;
    }
    event->accept();
}

void ScrollBar::onSliderPressed() {
    valueAtPress_ = value();
}

void ScrollBar::onValueChanged() {
    if (inPointerEvent_ && isSliderDown()) {
        emit Scroll();
        return;
    }
    // A change made while the thumb is held is reported now, not again at the release.
    if (isSliderDown()) valueAtPress_ = value();
    emit Change();
}

void ScrollBar::onSliderReleased() {
    if (value() != valueAtPress_) emit Change();
}

}  // namespace corvid
