#include "player/FrameSlot.h"

#include <QMetaObject>
#include <QWidget>
#include <utility>

namespace corvid {

void FrameSlot::attach(QWidget* widget) {
    std::lock_guard lock(mutex_);
    widget_ = widget;
}

void FrameSlot::setTargetSize(QSize size) {
    std::lock_guard lock(mutex_);
    target_ = size;
}

void FrameSlot::setView(const ZoomView& view) {
    std::lock_guard lock(mutex_);
    view_ = view;
}

QSize FrameSlot::targetSize() const {
    std::lock_guard lock(mutex_);
    return target_;
}

ZoomView FrameSlot::view() const {
    std::lock_guard lock(mutex_);
    return view_;
}

void FrameSlot::publish(Shown shown) {
    std::lock_guard lock(mutex_);
    shown_ = std::move(shown);
    // Under the lock: the widget detaches under it too before it is destroyed.
    if (widget_ != nullptr) {
        QMetaObject::invokeMethod(widget_, qOverload<>(&QWidget::update), Qt::QueuedConnection);
    }
}

FrameSlot::Shown FrameSlot::shown() const {
    std::lock_guard lock(mutex_);
    return shown_;
}

QImage FrameSlot::picture() const {
    std::lock_guard lock(mutex_);
    return shown_.picture;
}

}  // namespace corvid
