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

    // Puts the graph at media time `seconds` of the clock followed, which may lie before
    // the file's start or after its end: the nearest picture shows, and the graph joins in
    // when the clock reaches its media. Otherwise as put_CurrentPosition.
    virtual void PlaceOnClock(double seconds) = 0;
    // The file's first timestamp in seconds, where its media time 0 lies: files written
    // together by one recorder carry the same clock.
    virtual double get_StartTime() = 0;
    // The media time the graph is at on its clock, unbounded by the file's length: below 0
    // while the clock has not reached its start.
    virtual double get_ClockPosition() = 0;
    // The media time of the picture on show and the file's usual picture interval; false
    // while the picture the last seek or placement asked for is still being found.
    virtual bool GetShownPicture(double& time, double& interval) = 0;
};

}  // namespace corvid
