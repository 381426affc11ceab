#pragma once

#include <memory>

#include "platform/graph/IPlaybackClock.h"

namespace corvid {

// Holds a playback clock for as long as it lives; nothing when there is no clock.
class ClockHold {
public:
    explicit ClockHold(std::shared_ptr<IPlaybackClock> clock) : clock_(std::move(clock)) {
        if (clock_) clock_->Hold();
    }
    ~ClockHold() {
        if (clock_) clock_->Release();
    }
    ClockHold(const ClockHold&) = delete;
    ClockHold& operator=(const ClockHold&) = delete;

private:
    std::shared_ptr<IPlaybackClock> clock_;
};

}  // namespace corvid
