#pragma once

#include <algorithm>
#include <memory>

#include "player/IClock.h"
#include "player/PlaybackClock.h"

namespace corvid {

// One player's view of a playback clock: its media time and its seeks on a clock of its
// own, or on one shared with other players. Every update carries the seek generation it
// belongs to and is dropped when a newer seek came (see PlaybackClock).
class MediaClock {
public:
    // A clock of its own on the time source.
    explicit MediaClock(std::shared_ptr<IClock> source);
    // A member of a shared clock; held until release(0) when it `waitsForPicture`.
    MediaClock(std::shared_ptr<PlaybackClock> shared, bool waitsForPicture);
    ~MediaClock();
    MediaClock(const MediaClock&) = delete;
    MediaClock& operator=(const MediaClock&) = delete;

    double position() const { return clock_->position(member_); }
    void run() { clock_->run(); }
    void pause() { clock_->pause(); }
    bool running() const { return clock_->running(); }
    double rate() const { return clock_->rate(); }
    // Seconds until the clock, going at its rate, reaches `time` (negative once past it).
    double secondsUntil(double time) const { return (time - position()) / std::max(rate(), 1e-3); }
    void setRate(double rate) { clock_->setRate(rate); }
    void seek(int generation, double target) { clock_->seek(member_, generation, target); }
    void setPosition(int generation, double seconds) {
        clock_->setPosition(member_, generation, seconds);
    }
    // Holds for the seek of `generation`; only that seek's release lets go.
    void hold(int generation) { clock_->hold(member_, generation); }
    void release(int generation) { clock_->release(member_, generation); }
    bool held() const { return clock_->held(); }
    // Whether the hold for the seek `generation` lasted too long (PlaybackClock).
    bool holdOverdue(int generation) const { return clock_->holdOverdue(member_, generation); }
    void stopAtEnd(int generation) { clock_->stopAtEnd(member_, generation); }
    void setSoundSource(bool playsSound) { clock_->setSoundSource(member_, playsSound); }
    bool followsSound() const { return clock_->followsSound(); }
    // The media time being heard now, in seek `generation`, and the seconds the device
    // has played in all; the clock leans towards the sound.
    void syncToAudio(double seconds, int generation, double played) {
        clock_->syncToAudio(member_, generation, seconds, played);
    }

private:
    std::shared_ptr<PlaybackClock> clock_;
    int member_;
};

}  // namespace corvid
