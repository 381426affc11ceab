#include "player/AudioRing.h"

#include <algorithm>

namespace corvid {

std::size_t AudioRing::space() const {
    std::lock_guard lock(mutex_);
    return buffer_.size() - size_;
}

std::size_t AudioRing::size() const {
    std::lock_guard lock(mutex_);
    return size_;
}

void AudioRing::write(const float* samples, std::size_t count) {
    std::lock_guard lock(mutex_);
    count = std::min(count, buffer_.size() - size_);
    for (std::size_t i = 0; i < count; ++i) {
        buffer_[(head_ + size_ + i) % buffer_.size()] = samples[i];
    }
    size_ += count;
}

std::size_t AudioRing::read(float* samples, std::size_t count) {
    std::lock_guard lock(mutex_);
    count = std::min(count, size_);
    for (std::size_t i = 0; i < count; ++i) samples[i] = buffer_[(head_ + i) % buffer_.size()];
    head_ = (head_ + count) % buffer_.size();
    size_ -= count;
    return count;
}

void AudioRing::clear() {
    std::lock_guard lock(mutex_);
    head_ = 0;
    size_ = 0;
}

}  // namespace corvid
