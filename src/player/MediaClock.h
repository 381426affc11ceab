#pragma once

#include <memory>
#include <mutex>

#include "player/IClock.h"

namespace corvid {

// The position of playback in media seconds. It advances with its time source at the
// playback rate while running and not held; a hold keeps it at a seek target until the
// first picture of the seek is ready. Played audio steers it: the clock speeds up or
// slows down (at most to a standstill) until it meets the sound heard, so it never goes
// back and pictures never jump.
class MediaClock {
public:
    explicit MediaClock(std::shared_ptr<IClock> source);

    double position() const;
    void setPosition(double seconds);
    void run();
    void pause();
    bool running() const;
    double rate() const;
    void setRate(double rate);
    // Holds for the seek of `generation`; only that seek's release lets go.
    void hold(int generation);
    void release(int generation);
    bool held() const;
    // The media time being heard now; the clock leans towards it.
    void syncToAudio(double seconds);

private:
    double positionLocked(double now) const;
    void reanchorLocked(double now);

    std::shared_ptr<IClock> source_;
    mutable std::mutex mutex_;
    double anchorPosition_ = 0;
    double anchorTime_ = 0;
    double rate_ = 1.0;
    double correction_ = 0;  // added to the rate while catching up with the sound
    double heard_ = 0;       // the last media time reported heard
    double heardMovedAt_ = 0;
    bool running_ = false;
    bool held_ = false;
    int holdGeneration_ = 0;
};

}  // namespace corvid
