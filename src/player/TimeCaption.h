#pragma once

#include <QString>
#include <chrono>
#include <optional>

namespace corvid {

// A picture's time as Corvid writes it over the picture, on screen and in exported video:
// the media time as hh:mm:ss.mmm and, where the recording says when it was made, the
// wall-clock time of the picture in local time on a second line.
class TimeCaption {
public:
    using TimePoint = std::chrono::system_clock::time_point;

    static QString text(double time, std::optional<TimePoint> recordedAt);
};

}  // namespace corvid
