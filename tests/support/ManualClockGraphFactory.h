#pragma once

#include <memory>

#include "platform/graph/IGraphFactory.h"
#include "support/CapturingAudioOutput.h"
#include "support/ManualClock.h"

namespace corvid {

// Makes real media graphs whose time is one manual clock and whose sound is captured
// instead of played, so that pace and sync are checked without waiting in real time.
class ManualClockGraphFactory : public IGraphFactory {
public:
    std::shared_ptr<FilgraphManager> CreateFilgraphManager() override;

    std::shared_ptr<ManualClock> clock = std::make_shared<ManualClock>();
    // The sound output of the graph made last; valid while that graph lives.
    CapturingAudioOutput* captured = nullptr;
};

}  // namespace corvid
