#pragma once

#include <memory>
#include <vector>

#include "platform/graph/FfmpegPlaybackClock.h"
#include "platform/graph/IGraphFactory.h"
#include "player/InjectedFaults.h"
#include "support/CapturingAudioOutput.h"
#include "support/ManualClock.h"
#include "support/ManualSoundOutput.h"

namespace corvid {

// Makes real media graphs whose time is one manual clock and whose sound is captured
// instead of played, so that pace and sync are checked without waiting in real time.
class ManualClockGraphFactory : public IGraphFactory {
public:
    std::shared_ptr<FilgraphManager> CreateFilgraphManager() override;
    // Clocks for lockstep on the same manual time.
    std::shared_ptr<IPlaybackClock> CreatePlaybackClock() override;

    std::shared_ptr<ManualClock> clock = std::make_shared<ManualClock>();
    // The playback clock made last, while it lives.
    std::weak_ptr<FfmpegPlaybackClock> playbackClock;
    // The sound output of the graph made last; valid while that graph lives.
    CapturingAudioOutput* captured = nullptr;
    // When set, sound goes to devices that take it at the manual clock's pace and drive
    // the playback clocks, instead of being captured; `devices` lists those alive.
    bool soundDevices = false;
    // With soundDevices: the sound server's own latency each device plays through (see
    // ManualSoundOutput::throughServer), and whether each records what it takes.
    double soundServerSeconds = 0;
    bool recordSound = false;
    std::shared_ptr<ManualSoundDevices> devices = std::make_shared<ManualSoundDevices>();
    // Failures the graphs' workers meet.
    std::shared_ptr<InjectedFaults> faults = std::make_shared<InjectedFaults>();
};

}  // namespace corvid
