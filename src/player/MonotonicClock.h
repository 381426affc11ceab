#pragma once

#include <chrono>

#include "player/IClock.h"

namespace corvid {

// Real time from the system's steady clock.
class MonotonicClock : public IClock {
public:
    double now() const override;

private:
    std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
};

}  // namespace corvid
