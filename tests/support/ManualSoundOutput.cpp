#include "support/ManualSoundOutput.h"

#include <algorithm>
#include <chrono>
#include <cmath>
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
        played_ += now - from;
    }
    if (recording_) {
        // The frames of the time gone by: sound the device took first, silence after.
        const auto frames = static_cast<std::size_t>(
            std::llround(std::max(0.0, now - recordingStart_) * sampleRate_));
        const std::size_t missing = frames - std::min(frames, recorded_.size() / 2);
        std::size_t sound = 0;
        if (playing_ && !stalled_ && now > from) {
            sound = std::min(missing, pending_.size() / 2);
            // As much as the clock let it take, not what rounding adds.
            sound =
                std::min(sound, static_cast<std::size_t>(std::llround((now - from) * sampleRate_)));
        }
        recorded_.insert(recorded_.end(), pending_.begin(), pending_.begin() + sound * 2);
        pending_.erase(pending_.begin(), pending_.begin() + sound * 2);
        recorded_.resize(recorded_.size() + (missing - sound) * 2, 0.0f);
        // What the seconds count says is gone is gone from the samples too.
        const auto left = static_cast<std::size_t>(std::llround(buffered_ * sampleRate_)) * 2;
        if (pending_.size() > left) pending_.erase(pending_.begin(), pending_.end() - left);
    }
    last_ = std::max(last_, now);
}

double ManualSoundOutput::played() {
    std::lock_guard lock(mutex_);
    consumeLocked();
    return server_ > 0 ? played_ : heard_;
}

void ManualSoundOutput::throughServer(double seconds) {
    std::lock_guard lock(mutex_);
    server_ = seconds;
}

void ManualSoundOutput::record() {
    std::lock_guard lock(mutex_);
    consumeLocked();
    recording_ = true;
    recordingStart_ = clock_->now();
    recorded_.clear();
    pending_.clear();
    pending_.resize(static_cast<std::size_t>(std::llround(buffered_ * sampleRate_)) * 2, 0.0f);
}

std::vector<float> ManualSoundOutput::recorded() const {
    std::lock_guard lock(mutex_);
    return recorded_;
}

double ManualSoundOutput::recordingStart() const {
    std::lock_guard lock(mutex_);
    return recordingStart_;
}

std::size_t ManualSoundOutput::writable() {
    std::lock_guard lock(mutex_);
    consumeLocked();
    return static_cast<std::size_t>(std::max(0.0, capacity_ - buffered_) * sampleRate_);
}

void ManualSoundOutput::write(const float* samples, std::size_t frames) {
    std::lock_guard lock(mutex_);
    consumeLocked();
    if (recording_) pending_.insert(pending_.end(), samples, samples + frames * kChannels);
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
    pending_.clear();
    ++discards_;
}

int ManualSoundOutput::discards() const {
    std::lock_guard lock(mutex_);
    return discards_;
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
    // A server that has played holds its own buffer full, with silence when nothing came.
    return buffered_ + (played_ > 0 ? server_ : 0.0);
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
