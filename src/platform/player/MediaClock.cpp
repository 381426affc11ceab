#include "platform/player/MediaClock.h"

#include <cmath>
#include <utility>

namespace corvid {

namespace {

// Audio drift tolerated before the clock jumps to the audio; below it the jitter of
// the output's reports would make pictures stutter.
constexpr double kAudioDriftTolerance = 0.04;

}  // namespace

MediaClock::MediaClock(std::shared_ptr<IClock> source) : source_(std::move(source)) {
    anchorTime_ = source_->now();
}

double MediaClock::positionLocked(double now) const {
    if (!running_ || held_) return anchorPosition_;
    return anchorPosition_ + (now - anchorTime_) * rate_;
}

void MediaClock::reanchorLocked(double now) {
    anchorPosition_ = positionLocked(now);
    anchorTime_ = now;
}

double MediaClock::position() const {
    std::lock_guard lock(mutex_);
    return positionLocked(source_->now());
}

void MediaClock::setPosition(double seconds) {
    std::lock_guard lock(mutex_);
    anchorPosition_ = seconds;
    anchorTime_ = source_->now();
}

void MediaClock::run() {
    std::lock_guard lock(mutex_);
    reanchorLocked(source_->now());
    running_ = true;
}

void MediaClock::pause() {
    std::lock_guard lock(mutex_);
    reanchorLocked(source_->now());
    running_ = false;
}

bool MediaClock::running() const {
    std::lock_guard lock(mutex_);
    return running_;
}

double MediaClock::rate() const {
    std::lock_guard lock(mutex_);
    return rate_;
}

void MediaClock::setRate(double rate) {
    std::lock_guard lock(mutex_);
    reanchorLocked(source_->now());
    rate_ = rate;
}

void MediaClock::hold(int generation) {
    std::lock_guard lock(mutex_);
    reanchorLocked(source_->now());
    held_ = true;
    holdGeneration_ = generation;
}

void MediaClock::release(int generation) {
    std::lock_guard lock(mutex_);
    if (!held_ || generation != holdGeneration_) return;
    anchorTime_ = source_->now();
    held_ = false;
}

bool MediaClock::held() const {
    std::lock_guard lock(mutex_);
    return held_;
}

void MediaClock::syncToAudio(double seconds) {
    std::lock_guard lock(mutex_);
    if (!running_ || held_) return;
    const double now = source_->now();
    if (std::abs(positionLocked(now) - seconds) <= kAudioDriftTolerance) return;
    anchorPosition_ = seconds;
    anchorTime_ = now;
}

}  // namespace corvid
