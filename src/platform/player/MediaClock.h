#pragma once

#include <memory>
#include <mutex>

#include "platform/player/IClock.h"

namespace corvid {

// The position of playback in media seconds. It advances with its time source at the
// playback rate while running and not held; a hold keeps it at a seek target until the
// first picture of the seek is ready. Played audio may correct it.
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
    // Follows the audio heard when it drifted from the clock by more than a little.
    void syncToAudio(double seconds);

private:
    double positionLocked(double now) const;
    void reanchorLocked(double now);

    std::shared_ptr<IClock> source_;
    mutable std::mutex mutex_;
    double anchorPosition_ = 0;
    double anchorTime_ = 0;
    double rate_ = 1.0;
    bool running_ = false;
    bool held_ = false;
    int holdGeneration_ = 0;
};

}  // namespace corvid
