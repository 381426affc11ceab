#pragma once

#include <memory>

#include "platform/graph/IBasicAudio.h"
#include "platform/graph/IClockFollower.h"
#include "platform/graph/IMediaControl.h"
#include "platform/graph/IMediaEvent.h"
#include "platform/graph/IMediaPosition.h"
#include "platform/graph/IVideoFrameStep.h"
#include "platform/graph/IVideoReview.h"
#include "platform/graph/IVideoWindow.h"
#include "util/Failure.h"

namespace corvid {

// One media graph. Its interfaces are obtained by the Query calls; each returned
// reference keeps the whole graph alive, and the graph ends with the last one.
class FilgraphManager : public IMediaControl,
                        public IMediaPosition,
                        public IBasicAudio,
                        public IVideoWindow,
                        public IMediaEvent,
                        public IVideoFrameStep,
                        public std::enable_shared_from_this<FilgraphManager> {
public:
    ~FilgraphManager() override = default;

    // Each throws Failure(NoInterface) when the graph cannot offer the interface.
    virtual std::shared_ptr<IMediaControl> QueryMediaControl() { return alias<IMediaControl>(); }
    virtual std::shared_ptr<IBasicAudio> QueryBasicAudio() { return alias<IBasicAudio>(); }
    virtual std::shared_ptr<IVideoWindow> QueryVideoWindow() { return alias<IVideoWindow>(); }
    virtual std::shared_ptr<IMediaEvent> QueryMediaEvent() { return alias<IMediaEvent>(); }
    virtual std::shared_ptr<IMediaPosition> QueryMediaPosition() { return alias<IMediaPosition>(); }
    virtual std::shared_ptr<IVideoFrameStep> QueryVideoFrameStep() {
        return alias<IVideoFrameStep>();
    }
    // Zoom, time overlay and stills: a graph of our own player core offers them.
    virtual std::shared_ptr<IVideoReview> QueryVideoReview() {
        throw Failure(Failure::NoInterface, "This graph cannot zoom, show times or keep stills");
    }
    // Lockstep with other graphs on one clock: a graph of our own player core offers it.
    virtual std::shared_ptr<IClockFollower> QueryClockFollower() {
        throw Failure(Failure::NoInterface, "This graph cannot follow a shared clock");
    }

protected:
    template <typename Interface>
    std::shared_ptr<Interface> alias() {
        auto self = shared_from_this();
        return std::shared_ptr<Interface>(self, static_cast<Interface*>(self.get()));
    }
};

}  // namespace corvid
