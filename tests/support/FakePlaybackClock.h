#pragma once

#include "platform/graph/IPlaybackClock.h"

namespace corvid {

// A playback clock for fake graphs: it keeps what was done to it, for tests of the
// windows that own one.
class FakePlaybackClock : public IPlaybackClock {
public:
    explicit FakePlaybackClock(int number) : number(number) {}

    void Hold() override {
        ++depth;
        ++holds;
    }
    void Release() override { --depth; }

    const int number;  // 1 for the first clock the factory made
    int depth = 0;     // holds not released yet
    int holds = 0;     // holds in all
};

}  // namespace corvid
