#include "player/FrameSlot.h"

#include <utility>

namespace corvid {

void FrameSlot::attach(std::function<void()> onPublished) {
    std::lock_guard lock(mutex_);
    onPublished_ = std::move(onPublished);
}

void FrameSlot::watch(std::function<void()> onAsked) {
    std::lock_guard lock(mutex_);
    onAsked_ = std::move(onAsked);
}

void FrameSlot::setTargetSize(QSize size) {
    std::lock_guard lock(mutex_);
    if (size == target_) return;
    target_ = size;
    if (onAsked_) onAsked_();
}

void FrameSlot::setView(const ZoomView& view) {
    std::lock_guard lock(mutex_);
    if (view == view_) return;
    view_ = view;
    if (onAsked_) onAsked_();
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
    if (onPublished_) onPublished_();
}

FrameSlot::Shown FrameSlot::shown() const {
    std::lock_guard lock(mutex_);
    return shown_;
}

}  // namespace corvid
