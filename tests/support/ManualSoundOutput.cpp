#include "support/ManualSoundOutput.h"

#include <algorithm>
#include <chrono>
#include <utility>

namespace corvid {

ManualSoundOutput::ManualSoundOutput(int sampleRate, std::shared_ptr<ManualClock> clock,
                                     double bufferSeconds,
                                     std::shared_ptr<ManualSoundDevices> devices)
    : sampleRate_(sampleRate),
      clock_(std::move(clock)),
      capacity_(bufferSeconds),
      devices_(std::move(devices)) {
    last_ = clock_->now();
    if (devices_) devices_->add(this);
}

ManualSoundOutput::~ManualSoundOutput() {
    if (devices_) devices_->remove(this);
}

bool ManualSoundOutput::takesSound() const {
    std::lock_guard lock(mutex_);
    return playing_ && !stalled_ && clock_->now() >= startAt_;
}

double ManualSoundOutput::unheardSeconds() {
    std::lock_guard lock(mutex_);
    consumeLocked();
    return buffered_;
}

void ManualSoundOutput::consumeLocked() {
    const double now = clock_->now();
    const double from = std::max(last_, startAt_);
    if (playing_ && !stalled_ && now > from) {
        const double taken = std::min(buffered_, now - from);
        buffered_ -= taken;
        heard_ += taken;
    }
    last_ = std::max(last_, now);
}

std::size_t ManualSoundOutput::writable() {
    std::lock_guard lock(mutex_);
    consumeLocked();
    return static_cast<std::size_t>(std::max(0.0, capacity_ - buffered_) * sampleRate_);
}

void ManualSoundOutput::write(const float*, std::size_t frames) {
    std::lock_guard lock(mutex_);
    consumeLocked();
    const double seconds = static_cast<double>(frames) / sampleRate_;
    buffered_ += seconds;
    written_ += seconds;
}

void ManualSoundOutput::setPlaying(bool playing) {
    std::lock_guard lock(mutex_);
    consumeLocked();
    playing_ = playing;
}

void ManualSoundOutput::discard() {
    std::lock_guard lock(mutex_);
    consumeLocked();
    buffered_ = 0;
}

void ManualSoundOutput::setGains(float left, float) {
    std::lock_guard lock(mutex_);
    left_ = left;
}

double ManualSoundOutput::latency() {
    std::unique_lock lock(mutex_);
    if (blockArmed_) {
        blockArmed_ = false;
        blocked_ = true;
        changed_.notify_all();
        changed_.wait(lock, [this] { return !blocked_; });
    }
    consumeLocked();
    return buffered_;
}

void ManualSoundOutput::startAt(double seconds) {
    std::lock_guard lock(mutex_);
    consumeLocked();
    startAt_ = seconds;
}

void ManualSoundOutput::setStalled(bool stalled) {
    std::lock_guard lock(mutex_);
    consumeLocked();
    stalled_ = stalled;
}

void ManualSoundOutput::blockNextLatency() {
    std::lock_guard lock(mutex_);
    blockArmed_ = true;
}

bool ManualSoundOutput::waitUntilBlocked(int ms) {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, std::chrono::milliseconds(ms), [this] { return blocked_; });
}

void ManualSoundOutput::unblock() {
    {
        std::lock_guard lock(mutex_);
        blockArmed_ = false;
        blocked_ = false;
    }
    changed_.notify_all();
}

bool ManualSoundOutput::playing() const {
    std::lock_guard lock(mutex_);
    return playing_;
}

double ManualSoundOutput::writtenSeconds() const {
    std::lock_guard lock(mutex_);
    return written_;
}

double ManualSoundOutput::heardSeconds() {
    std::lock_guard lock(mutex_);
    consumeLocked();
    return heard_;
}

float ManualSoundOutput::leftGain() const {
    std::lock_guard lock(mutex_);
    return left_;
}

}  // namespace corvid
