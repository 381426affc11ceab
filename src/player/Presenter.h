#pragma once

#include <QSize>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>

#include "player/AvHandles.h"
#include "player/FrameQueue.h"
#include "player/FrameSlot.h"
#include "player/InjectedFaults.h"
#include "player/MediaClock.h"
#include "player/PictureBuffers.h"
#include "player/PlaybackFault.h"
#include "player/WorkerThread.h"

namespace corvid {

// Shows on its own thread the picture due at the clock's time: takes it from the frame
// queue, converts and scales it to the widget's size and hands it to the frame slot.
// The first picture of every seek is shown at once and ends the clock's hold. It also
// notices the end of the media. Without video it only watches for the end. A seek whose
// hold on the clock ran out before its first picture came, and a scaler that cannot be
// made, are reported to the fault.
class Presenter {
public:
    struct Streams {
        FrameQueue* frames = nullptr;  // null without video
        FrameSlot* slot = nullptr;
        std::function<bool(int generation)> audioEnded;  // null without audio
    };
    struct Failures {
        PlaybackFault* fault = nullptr;
        // Failures injected for `path`; null in the program.
        const InjectedFaults* injected = nullptr;
        std::string path;
    };

    Presenter(MediaClock& clock, Streams streams, const std::atomic<int>& generation,
              double duration, std::function<void(int generation)> onEnd, Failures failures);
    ~Presenter();
    Presenter(const Presenter&) = delete;
    Presenter& operator=(const Presenter&) = delete;

    void stop();
    void wake();
    // The next seek's first picture sets the clock to its own time (frame stepping).
    void snapClockOnSeek(int generation);
    // Shows the next `frames` pictures one after another; a counter tells when done.
    void step(int frames);
    int stepsDone() const { return stepsDone_.load(); }
    // The generation whose first picture (or end) has been shown; -1 before any.
    int shownGeneration() const { return shownGeneration_.load(); }
    // Waits until the picture on show is the one due at the clock's position: the current
    // seek's first picture is shown and no picture due is still waiting; false when
    // `limit` ran out first.
    bool waitUntilCaughtUp(std::chrono::milliseconds limit);
    // Waits until `done` holds, asked again whenever a step finishes or a seek's first
    // picture is shown; false when `limit` ran out first.
    bool waitUntilShown(const std::function<bool()>& done, std::chrono::milliseconds limit);
    // The media time of the picture on show, or of the one being drawn to replace it.
    double shownTime() const { return shownTime_.load(); }

private:
    void run();
    // How long to sleep before looking at the clock again; notes whether it rests.
    std::chrono::microseconds nextWait(int generation);
    std::chrono::microseconds lookAgainIn(int generation);
    // Whether the widget asks for the picture on show at another size or view.
    bool sizeAskedFor() const;
    void presentVideo(int generation);
    void show(VideoFrame frame);
    void render();
    // Readies both passes for the part `source` of the picture scaled to `size`; false
    // when the scaler cannot.
    bool prepareScaling(QSize source, QSize size);
    void checkEnd(int generation);
    // Reports a seek the file did not answer within the clock's hold limit.
    void checkOverdue(int generation);
    // What waitUntilCaughtUp waits for; under mutex_, which the choice of the picture due
    // takes too, so that a picture taken from the queue already counts as on show.
    bool caughtUpLocked() const;
    // Tells waitUntilShown that a step finished or a first picture was shown.
    void announceShown();

    MediaClock& clock_;
    Streams streams_;
    const std::atomic<int>& generation_;
    const double duration_;
    std::function<void(int)> onEnd_;
    Failures failures_;

    std::mutex mutex_;
    std::condition_variable wake_;
    std::condition_variable shown_;
    bool woken_ = false;
    int stepsWanted_ = 0;
    int snapGeneration_ = -1;

    std::atomic<bool> resting_{false};  // nothing due until woken: paused, or past the end
    std::atomic<int> stepsDone_{0};
    std::atomic<int> shownGeneration_{-1};
    std::atomic<double> shownTime_{0};
    std::atomic<int> videoEndedGeneration_{-1};  // also read by caughtUpLocked() on other threads
    int endReportedGeneration_ = -1;
    int overdueGeneration_ = -1;
    int failedRenders_ = 0;  // in a row

    // The picture on show, kept to rescale on resize or zoom; shared with the frame slot,
    // which keeps it for stills.
    std::shared_ptr<AVFrame> current_;
    double currentTime_ = 0;
    QSize renderedSize_;
    ZoomView renderedView_;
    // Sizing and colour conversion are two passes: the scaler's vector code covers
    // planar sizing and same-size conversion, not the two at once.
    ScalerHandle scaler_;
    ScalerHandle converter_;
    FrameHandle sized_;
    // The converted pictures' buffers, used again rather than mapped anew for each.
    std::shared_ptr<PictureBuffers> pictures_ = std::make_shared<PictureBuffers>();
    WorkerThread worker_{"corvid-present", [this] { run(); }, [this] { wake(); }};
};

}  // namespace corvid
