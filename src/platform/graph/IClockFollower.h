#pragma once

#include <memory>

#include "platform/graph/IPlaybackClock.h"

namespace corvid {

// A graph that can follow a playback clock shared with other graphs. Each follower maps
// the shared clock to its own media time: a seek or a step sets where it is on it, and
// the graphs start together once each shows its first picture.
class IClockFollower {
public:
    virtual ~IClockFollower() = default;

    // Follows `clock` from the next RenderFile on; null: a clock of its own. Throws
    // Failure(InvalidArgument) for a clock this graph cannot follow.
    virtual void FollowClock(std::shared_ptr<IPlaybackClock> clock) = 0;
};

}  // namespace corvid
