#include "player/SilentAudioOutput.h"

#include <algorithm>
#include <utility>

namespace corvid {

SilentAudioOutput::SilentAudioOutput(int sampleRate, std::shared_ptr<IClock> clock,
                                     double bufferSeconds)
    : sampleRate_(sampleRate), clock_(std::move(clock)), capacity_(bufferSeconds) {
    last_ = clock_->now();
}

void SilentAudioOutput::consumeLocked() {
    const double now = clock_->now();
    if (playing_) {
        const double taken = std::min(buffered_, now - last_);
        buffered_ -= taken;
        played_ += taken;
    }
    last_ = now;
}

std::size_t SilentAudioOutput::writable() {
    std::lock_guard lock(mutex_);
    consumeLocked();
    return static_cast<std::size_t>(std::max(0.0, capacity_ - buffered_) * sampleRate_);
}

void SilentAudioOutput::write(const float*, std::size_t frames) {
    std::lock_guard lock(mutex_);
    consumeLocked();
    buffered_ += static_cast<double>(frames) / sampleRate_;
}

void SilentAudioOutput::setPlaying(bool playing) {
    std::lock_guard lock(mutex_);
    consumeLocked();
    playing_ = playing;
}

void SilentAudioOutput::discard() {
    std::lock_guard lock(mutex_);
    consumeLocked();
    buffered_ = 0;
}

double SilentAudioOutput::played() {
    std::lock_guard lock(mutex_);
    consumeLocked();
    return played_;
}

double SilentAudioOutput::latency() {
    std::lock_guard lock(mutex_);
    consumeLocked();
    return buffered_;
}

}  // namespace corvid
