#pragma once

namespace corvid {

// One playback clock that several graphs follow in lockstep (IClockFollower): one run
// state, one rate, one instant for all of them. Made by the graph factory; its owner
// (the main window) holds it while it commands each graph in turn.
class IPlaybackClock {
public:
    virtual ~IPlaybackClock() = default;

    // While held the clock's time stands still, running or not, so that commands given
    // to the graphs one after the other act at one instant. Holds nest: each Hold is
    // undone by one Release.
    virtual void Hold() = 0;
    virtual void Release() = 0;
};

}  // namespace corvid
