#include "player/MediaClock.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace corvid {

namespace {

// A gap to the sound is closed over this much time, so that the bursty reports of a
// sound server bend the clock's pace a little instead of making pictures jump.
constexpr double kCatchUpSeconds = 0.5;
// The clock runs at most this much faster than the rate to catch up with the sound;
// sound far ahead (heard while the clock was held back) is met with a leap forward.
constexpr double kFastestCatchUp = 0.25;
constexpr double kLeapAhead = 0.25;
// Sound that has not moved for this long has stalled (a sound server starting a stream
// late, or starved): a clock ahead of it stands still until it moves again.
constexpr double kStalledSeconds = 0.05;

}  // namespace

MediaClock::MediaClock(std::shared_ptr<IClock> source) : source_(std::move(source)) {
    anchorTime_ = source_->now();
}

double MediaClock::positionLocked(double now) const {
    if (!running_ || held_) return anchorPosition_;
    const double elapsed = std::max(0.0, now - anchorTime_);
    const double correcting = std::min(elapsed, kCatchUpSeconds);
    return anchorPosition_ + elapsed * rate_ + correcting * correction_;
}

void MediaClock::reanchorLocked(double now) {
    anchorPosition_ = positionLocked(now);
    anchorTime_ = now;
    correction_ = 0;
}

double MediaClock::position() const {
    std::lock_guard lock(mutex_);
    return positionLocked(source_->now());
}

void MediaClock::setPosition(double seconds) {
    std::lock_guard lock(mutex_);
    anchorPosition_ = seconds;
    anchorTime_ = source_->now();
    correction_ = 0;
}

void MediaClock::run() {
    std::lock_guard lock(mutex_);
    reanchorLocked(source_->now());
    heardMovedAt_ = anchorTime_;
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
    correction_ = 0;
    heardMovedAt_ = anchorTime_;
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
    reanchorLocked(now);
    if (seconds != heard_) {
        heard_ = seconds;
        heardMovedAt_ = now;
    }
    const double gap = seconds - anchorPosition_;
    if (gap > kLeapAhead * std::max(rate_, 1.0)) {
        anchorPosition_ = seconds;
        return;
    }
    // Slowest is a standstill: the clock waits for sound that is late, never goes back.
    const bool stalled = now - heardMovedAt_ > kStalledSeconds;
    correction_ = stalled && gap < 0
                      ? -rate_
                      : std::clamp(gap / kCatchUpSeconds, -rate_, kFastestCatchUp * rate_);
}

}  // namespace corvid
