#include "support/CapturingAudioOutput.h"

namespace corvid {

void CapturingAudioOutput::write(const float* samples, std::size_t frames) {
    std::lock_guard lock(mutex_);
    const std::size_t start = samples_.size();
    samples_.insert(samples_.end(), samples, samples + frames * kChannels);
    gains_.apply(samples_.data() + start, frames);  // captured is heard at once
}

double CapturingAudioOutput::played() {
    std::lock_guard lock(mutex_);
    return static_cast<double>(samples_.size() / kChannels) / sampleRate_;  // heard at once
}

std::vector<float> CapturingAudioOutput::samples() const {
    std::lock_guard lock(mutex_);
    return samples_;
}

std::vector<float> CapturingAudioOutput::samplesSinceDiscard() const {
    std::lock_guard lock(mutex_);
    return std::vector<float>(samples_.begin() + static_cast<std::ptrdiff_t>(discardedAt_),
                              samples_.end());
}

void CapturingAudioOutput::discard() {
    std::lock_guard lock(mutex_);
    discardedAt_ = samples_.size();
}

void CapturingAudioOutput::clear() {
    std::lock_guard lock(mutex_);
    samples_.clear();
    discardedAt_ = 0;
}

}  // namespace corvid
