#pragma once

#include <atomic>

#include "player/IClock.h"

namespace corvid {

// Time that moves only when told to; lets tests step playback without waiting.
class ManualClock : public IClock {
public:
    double now() const override { return now_.load(); }
    void advance(double seconds) { now_.store(now_.load() + seconds); }
    void set(double seconds) { now_.store(seconds); }

private:
    std::atomic<double> now_{0.0};
};

}  // namespace corvid
