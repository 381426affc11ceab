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

QSize FrameSlot::targetSize() const {
    std::lock_guard lock(mutex_);
    return target_;
}

void FrameSlot::publish(QImage picture) {
    std::lock_guard lock(mutex_);
    picture_ = std::move(picture);
    // Under the lock: the widget detaches under it too before it is destroyed.
    if (widget_ != nullptr) {
        QMetaObject::invokeMethod(widget_, qOverload<>(&QWidget::update), Qt::QueuedConnection);
    }
}

QImage FrameSlot::picture() const {
    std::lock_guard lock(mutex_);
    return picture_;
}

}  // namespace corvid
