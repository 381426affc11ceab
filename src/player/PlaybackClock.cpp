#include "player/PlaybackClock.h"

#include <algorithm>
#include <utility>

#include "player/MonotonicClock.h"
#include "player/PlayerLog.h"

namespace corvid {

namespace {

// A gap to the sound is closed over this much time, so that the bursty reports of a
// sound server bend the clock's pace a little instead of making pictures jump.
constexpr double kCatchUpSeconds = 0.5;
// The clock runs at most this much faster than the rate to catch up with the sound;
// sound far ahead (heard while the clock was held back) is met with a leap forward.
constexpr double kFastestCatchUp = 0.25;
constexpr double kLeapAhead = 0.25;
// Sound that has not moved for this long has stopped (a sound server starting a stream
// late, or starved): a clock ahead of it stands still for it, within the limits.
constexpr double kStalledSeconds = 0.05;

}  // namespace

PlaybackClock::PlaybackClock(std::shared_ptr<IClock> source, std::shared_ptr<IClock> holdTimer)
    : source_(std::move(source)),
      holdTimer_(holdTimer ? std::move(holdTimer) : std::make_shared<MonotonicClock>()) {
    anchorTime_ = source_->now();
}

bool PlaybackClock::heldLocked() const {
    if (timeHolds_ > 0) return true;
    return std::any_of(members_.begin(), members_.end(),
                       [](const auto& entry) { return entry.second.held; });
}

void PlaybackClock::holdLocked(Member& member) {
    member.held = true;
    member.heldSince = holdTimer_->now();
}

double PlaybackClock::timeLocked(double now) const {
    if (!running_ || heldLocked()) return anchorPosition_;
    const double moving = std::max(0.0, now - std::max(anchorTime_, standUntil_));
    return anchorPosition_ + moving * rate_ + std::min(moving, kCatchUpSeconds) * correction_;
}

double PlaybackClock::positionLocked(const Member& member, double now) const {
    return member.end >= 0 ? member.end : timeLocked(now) + member.offset;
}

void PlaybackClock::reanchorLocked(double now) {
    anchorPosition_ = timeLocked(now);
    anchorTime_ = now;
    correction_ = 0;
}

void PlaybackClock::restartLocked(double now) {
    startedAt_ = now;
    heardMovedAt_ = now;
    heardSinceStart_ = false;
    firstReport_ = true;
    standUntil_ = 0;
    sound_ = Sound::Following;
}

PlaybackClock::Member* PlaybackClock::memberLocked(int member) {
    const auto found = members_.find(member);
    return found == members_.end() ? nullptr : &found->second;
}

void PlaybackClock::run() {
    std::lock_guard lock(mutex_);
    if (running_) return;
    const double now = source_->now();
    reanchorLocked(now);
    running_ = true;
    restartLocked(now);
}

void PlaybackClock::pause() {
    std::lock_guard lock(mutex_);
    if (!running_) return;
    reanchorLocked(source_->now());
    standUntil_ = 0;
    running_ = false;
}

bool PlaybackClock::running() const {
    std::lock_guard lock(mutex_);
    return running_;
}

double PlaybackClock::rate() const {
    std::lock_guard lock(mutex_);
    return rate_;
}

void PlaybackClock::setRate(double rate) {
    std::lock_guard lock(mutex_);
    reanchorLocked(source_->now());
    rate_ = rate;
}

void PlaybackClock::holdTime() {
    std::lock_guard lock(mutex_);
    reanchorLocked(source_->now());
    ++timeHolds_;
}

void PlaybackClock::releaseTime() {
    std::lock_guard lock(mutex_);
    if (timeHolds_ == 0) return;
    --timeHolds_;
    if (!heldLocked()) anchorTime_ = source_->now();
}

int PlaybackClock::join(bool waitsForPicture) {
    std::lock_guard lock(mutex_);
    const double now = source_->now();
    reanchorLocked(now);
    Member member;
    member.offset = -anchorPosition_;
    if (waitsForPicture) holdLocked(member);
    const int id = nextMember_++;
    members_[id] = member;
    qCDebug(lcPlayer) << "clock" << this << "member" << id << "joins";
    return id;
}

void PlaybackClock::leave(int member) {
    std::lock_guard lock(mutex_);
    const double now = source_->now();
    const bool wasHeld = heldLocked();
    reanchorLocked(now);
    members_.erase(member);
    if (wasHeld && !heldLocked()) {
        anchorTime_ = now;
        restartLocked(now);
    }
    chooseMasterLocked();
}

double PlaybackClock::position(int member) const {
    std::lock_guard lock(mutex_);
    const auto found = members_.find(member);
    return found == members_.end() ? 0.0 : positionLocked(found->second, source_->now());
}

void PlaybackClock::seek(int member, int generation, double target) {
    std::lock_guard lock(mutex_);
    Member* m = memberLocked(member);
    if (m == nullptr) return;
    reanchorLocked(source_->now());
    m->generation = generation;
    m->offset = target - anchorPosition_;
    m->end = -1;
    holdLocked(*m);
}

void PlaybackClock::setPosition(int member, int generation, double seconds) {
    std::lock_guard lock(mutex_);
    Member* m = memberLocked(member);
    if (m == nullptr || m->generation != generation) return;
    m->offset = seconds - timeLocked(source_->now());
    m->end = -1;
}

void PlaybackClock::hold(int member, int generation) {
    std::lock_guard lock(mutex_);
    Member* m = memberLocked(member);
    if (m == nullptr) return;
    reanchorLocked(source_->now());
    m->generation = generation;
    holdLocked(*m);
}

void PlaybackClock::release(int member, int generation) {
    std::lock_guard lock(mutex_);
    Member* m = memberLocked(member);
    if (m == nullptr || !m->held || m->generation != generation) return;
    m->held = false;
    qCDebug(lcPlayer) << "clock" << this << "member" << member << "shows generation" << generation;
    if (heldLocked()) return;
    const double now = source_->now();
    anchorTime_ = now;
    correction_ = 0;
    restartLocked(now);
}

bool PlaybackClock::held() const {
    std::lock_guard lock(mutex_);
    return heldLocked();
}

bool PlaybackClock::holdOverdue(int member, int generation) const {
    std::lock_guard lock(mutex_);
    const auto found = members_.find(member);
    if (found == members_.end()) return false;
    const Member& m = found->second;
    return m.held && m.generation == generation &&
           holdTimer_->now() - m.heldSince >= kSeekHoldLimit;
}

void PlaybackClock::stopAtEnd(int member, int generation) {
    std::lock_guard lock(mutex_);
    Member* m = memberLocked(member);
    if (m == nullptr || m->generation != generation) return;
    m->end = positionLocked(*m, source_->now());
}

void PlaybackClock::setSoundSource(int member, bool playsSound) {
    std::lock_guard lock(mutex_);
    Member* m = memberLocked(member);
    if (m == nullptr || m->soundSource == playsSound) return;
    m->soundSource = playsSound;
    chooseMasterLocked();
}

bool PlaybackClock::isMaster(int member) const {
    std::lock_guard lock(mutex_);
    return master_ == member;
}

bool PlaybackClock::followsSound() const {
    std::lock_guard lock(mutex_);
    return sound_ == Sound::Following;
}

void PlaybackClock::chooseMasterLocked() {
    int master = 0;
    for (const auto& [id, member] : members_) {
        if (member.soundSource) {
            master = id;
            break;
        }
    }
    if (master == master_) return;
    const bool switching = master_ != 0 && master != 0;
    master_ = master;
    qCDebug(lcPlayer) << "clock" << this << "master is member" << master;
    // The new master's sound starts at the clock: until it is heard near the clock, the
    // clock goes on by itself rather than waiting for a stream that is only starting.
    reanchorLocked(source_->now());
    standUntil_ = 0;
    if (switching) sound_ = Sound::Stalled;
}

void PlaybackClock::syncToAudio(int member, int generation, double heard, double played) {
    std::lock_guard lock(mutex_);
    if (member != master_) return;
    const Member* m = memberLocked(member);
    if (m == nullptr || m->generation != generation) return;  // from before a seek
    if (!running_ || heldLocked()) return;
    const double now = source_->now();
    reanchorLocked(now);
    const double at = heard - m->offset;  // clock time
    // The sound moves when the device plays; what was played before the clock (re)started
    // tells nothing of this start: the first report is where the device stands.
    const bool moved = played > played_ && !firstReport_;
    if (moved || firstReport_) heardMovedAt_ = now;
    played_ = played;
    firstReport_ = false;
    const double scale = std::max(rate_, 1.0);
    const double gap = at - anchorPosition_;
    if (sound_ == Sound::Stalled) {
        // Sound far behind is brought to the clock by its player, not the clock to it.
        if (!moved || gap < -kSoundRejoin * scale) return;
        qCDebug(lcPlayer) << "clock" << this << "follows the sound again," << gap << "s apart";
        sound_ = Sound::Following;
    }
    if (moved) heardSinceStart_ = true;
    if (gap > kLeapAhead * scale) {
        anchorPosition_ = at;
        standUntil_ = 0;
        return;
    }
    // Slowest is a standstill: the clock waits for sound that is late, never goes back,
    // and waits only so long. A device that has played nothing yet gets the start limit
    // to begin (one slow to start); sound that stops after that, also at a restart (a
    // seek, Run), holds the pictures no longer than the stall limit.
    if (gap < 0 && now - heardMovedAt_ > kStalledSeconds) {
        const double deadline = heardSinceStart_ ? heardMovedAt_ + kSoundStallLimit
                                : played > 0     ? startedAt_ + kSoundStallLimit
                                                 : startedAt_ + kSoundStartLimit;
        if (now >= deadline) {
            qCDebug(lcPlayer) << "clock" << this << "goes on without the sound, heard" << -gap
                              << "s behind";
            sound_ = Sound::Stalled;
            standUntil_ = 0;
            return;
        }
        if (standUntil_ != deadline)
            qCDebug(lcPlayer) << "clock" << this << "waits for the sound, at most until"
                              << deadline;
        standUntil_ = deadline;
        return;
    }
    standUntil_ = 0;
    correction_ = std::clamp(gap / kCatchUpSeconds, -rate_, kFastestCatchUp * rate_);
}

}  // namespace corvid
