#pragma once

#include <memory>

#include "platform/graph/IPlaybackClock.h"
#include "player/IClock.h"
#include "player/PlaybackClock.h"

namespace corvid {

// The playback clock that graphs of the FFmpeg player core follow in lockstep.
class FfmpegPlaybackClock : public IPlaybackClock {
public:
    // `holdTimer` as PlaybackClock's: real time when null.
    explicit FfmpegPlaybackClock(std::shared_ptr<IClock> source,
                                 std::shared_ptr<IClock> holdTimer = nullptr)
        : clock_(std::make_shared<PlaybackClock>(std::move(source), std::move(holdTimer))) {}

    void Hold() override { clock_->holdTime(); }
    void Release() override { clock_->releaseTime(); }

    const std::shared_ptr<PlaybackClock>& clock() const { return clock_; }

private:
    std::shared_ptr<PlaybackClock> clock_;
};

}  // namespace corvid
