#pragma once

#include <chrono>
#include <memory>
#include <string>

#include "platform/graph/IPlaybackClock.h"
#include "util/Failure.h"

namespace corvid {

class FilgraphManager;

// Creates media graphs; the engine asks it for a new, empty graph on every open.
class IGraphFactory {
public:
    virtual ~IGraphFactory() = default;

    // Throws Failure when no graph can be created.
    virtual std::shared_ptr<FilgraphManager> CreateFilgraphManager() = 0;
    // A clock that graphs of this factory can follow together (IClockFollower); throws
    // Failure(NoInterface) when its graphs cannot share one.
    virtual std::shared_ptr<IPlaybackClock> CreatePlaybackClock() {
        throw Failure(Failure::NoInterface, "These graphs cannot share a clock");
    }
    // A file a graph will render soon: it may start opening now, beside other work (the
    // second camera of a pair while the first opens). Never fails; a hint may be ignored.
    virtual void PrepareFile(const std::string& /*fileName*/) {}
    // Whether rendering `fileName` now would return without waiting on its open: nothing
    // was prepared for it, or its prepared open has finished or run out of time. Waits for
    // that until `until` at most.
    virtual bool FileReady(const std::string& /*fileName*/,
                           std::chrono::steady_clock::time_point /*until*/) {
        return true;
    }
};

}  // namespace corvid
