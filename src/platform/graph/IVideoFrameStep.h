#pragma once

#include <cstdint>

namespace corvid {

// Frame-exact stepping of a paused graph.
class IVideoFrameStep {
public:
    virtual ~IVideoFrameStep() = default;

    // Shows the picture `frames` decoded frames after (positive) or before (negative) the
    // one shown now; the graph stays paused and the position reads as that picture's time.
    virtual void Step(std::int32_t frames) = 0;
};

}  // namespace corvid
