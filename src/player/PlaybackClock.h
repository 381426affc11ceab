#pragma once

#include <map>
#include <memory>
#include <mutex>

#include "player/IClock.h"

namespace corvid {

// The time that one or more players follow: one run state, one rate and one motion for
// all of them. Each member maps it to its own media time by an offset, set when the
// member seeks (or is stepped); a member that seeks holds the clock until its first
// picture of that seek is shown, so that every member starts at the same instant. A hold
// that lasts longer than kSeekHoldLimit of real time is overdue: the member's player lets
// go of it and says so, so that a member whose storage stopped answering does not stop
// the others.
//
// The clock is driven by the sound of one member, its master: the first member that plays
// sound. While the master's sound is heard the clock leans towards it, bending its pace
// and never going back. A device that has played nothing yet is waited for at most
// kSoundStartLimit (one slow to start); sound that stops after that (also when the clock
// restarts) is waited for at most kSoundStallLimit, after which the clock goes on by its
// time source until the sound moves again near it.
// Without a master the time source alone drives it.
//
// Every update from a member carries the member's seek generation; one from an older
// seek is dropped. All state is under one lock, taken last by its callers.
class PlaybackClock {
public:
    static constexpr double kSoundStartLimit = 2.5;
    static constexpr double kSoundStallLimit = 0.2;
    // Once it went on by itself, the clock follows the sound again when the sound is
    // heard this near (media seconds at 1x); sound further behind is its player's to
    // bring to the clock.
    static constexpr double kSoundRejoin = 0.15;
    // The longest a member's seek holds the clock before it is overdue (seconds).
    static constexpr double kSeekHoldLimit = 5.0;

    // `holdTimer` measures how long seeks hold the clock: real time (a monotonic clock)
    // when null, whatever drives the clock.
    explicit PlaybackClock(std::shared_ptr<IClock> source,
                           std::shared_ptr<IClock> holdTimer = nullptr);
    PlaybackClock(const PlaybackClock&) = delete;
    PlaybackClock& operator=(const PlaybackClock&) = delete;

    // The transport, shared by every member.
    void run();
    void pause();
    bool running() const;
    double rate() const;
    void setRate(double rate);
    // Stops time while held, running or not: the owner of a group holds it while it
    // commands every member, so that all of them act at one instant. Holds nest.
    void holdTime();
    void releaseTime();

    // Members. A member joins at media time 0 in generation 0; one that `waitsForPicture`
    // holds the clock until its first picture is released.
    int join(bool waitsForPicture);
    void leave(int member);

    double position(int member) const;
    // Moves the member to `target` for the seek `generation`, holding the clock until
    // release(member, generation). Atomic: no update of an older seek lands after it.
    void seek(int member, int generation, double target);
    // Sets the member's media time (a shown picture's), unless a newer seek came.
    void setPosition(int member, int generation, double seconds);
    // Holds the member at its position for the seek `generation`.
    void hold(int member, int generation);
    void release(int member, int generation);
    bool held() const;
    // Whether the member has held the clock for the seek `generation` longer than
    // kSeekHoldLimit.
    bool holdOverdue(int member, int generation) const;
    // Keeps the member at its media time from now on (its end, when no duration told it).
    void stopAtEnd(int member, int generation);

    // Whether the member's sound plays; the first such member is the master.
    void setSoundSource(int member, bool playsSound);
    bool isMaster(int member) const;
    // False while the clock goes on without its master's sound.
    bool followsSound() const;
    // The media time the member's sound device is heard at now, in seek `generation`, and
    // the seconds that device has played in all (it moves only while the device plays).
    void syncToAudio(int member, int generation, double heard, double played);

private:
    struct Member {
        int generation = 0;
        double offset = 0;  // media time minus clock time
        double end = -1;    // media time it stays at; negative: none
        bool held = false;
        double heldSince = 0;  // the hold timer's seconds
        bool soundSource = false;
    };
    // How the master's sound steers the clock.
    enum class Sound {
        Following,  // leans towards the sound, waits for it within the limits
        Stalled     // goes on by the time source until the sound moves near again
    };

    double timeLocked(double now) const;
    double positionLocked(const Member& member, double now) const;
    void reanchorLocked(double now);
    bool heldLocked() const;
    void holdLocked(Member& member);
    // The clock (re)starts moving: the sound gets its start allowance again.
    void restartLocked(double now);
    void chooseMasterLocked();
    Member* memberLocked(int member);

    std::shared_ptr<IClock> source_;
    std::shared_ptr<IClock> holdTimer_;
    mutable std::mutex mutex_;
    std::map<int, Member> members_;
    int nextMember_ = 1;
    int master_ = 0;

    // Clock time anchorTime_ (source seconds) was anchorPosition_; from there it moves
    // at rate_ plus correction_ (for at most the catch-up time), after standing still
    // until standUntil_.
    double anchorPosition_ = 0;
    double anchorTime_ = 0;
    double standUntil_ = 0;
    double rate_ = 1.0;
    double correction_ = 0;
    bool running_ = false;
    int timeHolds_ = 0;

    Sound sound_ = Sound::Following;
    double played_ = 0;  // the master's device, as last reported
    double heardMovedAt_ = 0;
    bool heardSinceStart_ = false;
    bool firstReport_ = true;
    double startedAt_ = 0;
};

}  // namespace corvid
