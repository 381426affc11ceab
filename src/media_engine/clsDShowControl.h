#pragma once

#include <QImage>
#include <QString>
#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>

#include "platform/graph/FilgraphManager.h"
#include "platform/graph/GraphFactory.h"
#include "platform/graph/IBasicAudio.h"
#include "platform/graph/IClockFollower.h"
#include "platform/graph/IMediaControl.h"
#include "platform/graph/IMediaEvent.h"
#include "platform/graph/IMediaPosition.h"
#include "platform/graph/IPlaybackClock.h"
#include "platform/graph/IVideoReview.h"
#include "platform/graph/IVideoWindow.h"
#include "platform/widgets/WindowHandle.h"

namespace corvid {

// The media engine: at most one media graph, opened from a file and driven by the
// player panel. GUI thread only.
class clsDShowControl {
public:
    explicit clsDShowControl(std::shared_ptr<IGraphFactory> factory = GraphFactory::current());
    // Releases every reference, and with them the graph, at once.
    ~clsDShowControl();
    clsDShowControl(const clsDShowControl&) = delete;
    clsDShowControl& operator=(const clsDShowControl&) = delete;

    QString MediaFile;
    bool IsAudioOnly = false;
    bool DS_Playing = false;
    std::int32_t orgmheight = 0;
    std::int32_t orgmwidth = 0;
    // The Failure code with which the last DS_OpenFile failed to render its file; 0 when
    // it rendered. The open itself reports nothing; a panel says why with it.
    std::int32_t OpenFailure = 0;

    void DS_Remove();
    void DS_CorrectAspect(std::int16_t TargetWidth, std::int16_t TargetHeight);
    void DS_UpdateMovie();
    void DS_FullScreenMovie();
    void DS_StretchMovie(std::int16_t TargetWidth, std::int16_t TargetHeight);
    void DS_OpenFile(const QString& FileName, std::int16_t rectTop, std::int16_t rectLeft,
                     std::int16_t rectWidth, std::int16_t rectHeight, WindowHandle hWndTarget);
    void DS_Play();
    void DS_Pause();
    void DS_Stop();
    void DS_Seek(double Amount);
    bool DS_StillPlaying(std::int32_t msTimeout);
    double DS_GetRate();
    double DS_GetDuration();
    double DS_GetPosition();
    void DS_SetPosition(double newPosition);
    std::int32_t DS_GetVolume();
    // Whether the open file has sound whose volume reads back; without it DS_GetVolume's
    // 0 is only the neutral result.
    bool DS_HasSound();
    void DS_SetVolume(std::int32_t newVolume);
    std::int32_t DS_GetBalance();
    void DS_SetBalance(std::int32_t newBalance);
    static QString SecToTime(double NewSec);

    // Review operations. Both skip their graph calls when no graph is held and pass
    // a failing call on, as the transport operations do.
    static constexpr double kSlowestRate = 0.125;
    static constexpr double kFastestRate = 16.0;
    // Sets the playback rate, clamped to kSlowestRate..kFastestRate.
    void DS_SetRate(double newRate);
    // Shows the picture `frames` decoded pictures after (positive) or before (negative)
    // the one on show; the graph is left paused.
    void DS_StepFrame(std::int32_t frames);
    // Brings a full-screen video back into its host window; never reports an error, as
    // DS_FullScreenMovie does not.
    void DS_WindowedMovie();

    // Failures part-way through playback. The graph sends a GraphNotice to `window` when
    // one comes (a failing call is passed over: the graph then plays on unwatched).
    void DS_WatchFailures(WindowHandle window);
    // What made the graph stop part-way (a read error, a file cut short while it plays);
    // empty while it plays on. A failed graph is let go at once, as a failed open leaves
    // none, and its picture with it.
    QString DS_TakeFailure();

    // Picture review. The first three skip their call when no graph with a picture is
    // held and pass a failing call on.
    void DS_SetTimeOverlay(bool shown);
    void DS_ResetZoom();
    // 1 when the picture is shown whole (or there is none).
    double DS_GetZoom();
    // The decoded picture on show at its native size, unzoomed, and its media time;
    // throws Failure(NotReady) when there is no picture.
    QImage DS_GetCurrentImage(double& time);

    // Lockstep: graphs of several engines that follow one clock play as one.
    // A clock the graphs of this engine's factory can follow together; null when they
    // cannot share one.
    std::shared_ptr<IPlaybackClock> DS_NewClock();
    // The clock every later open follows; null for a clock of the graph's own. An open
    // whose graph cannot follow it plays on a clock of its own.
    void DS_FollowClock(std::shared_ptr<IPlaybackClock> clock);
    // Lets a file that will be opened soon start opening now, beside other work.
    void DS_PrepareFile(const QString& FileName);
    // Whether DS_OpenFile of `FileName` would not wait on its open (see DS_PrepareFile);
    // waits for that until `until` at most.
    bool DS_FileReady(const QString& FileName, std::chrono::steady_clock::time_point until);
    // Whether DS_Play would start from the beginning: the position is at the end, or no
    // graph is open.
    bool DS_AtEnd();
    // Plays on from where the graph stands, also at its end: in lockstep a camera that
    // ended before the other waits there, in step.
    void DS_Resume();

    // The pair's timeline. Each passes a failing call on and does nothing (or reads 0)
    // without a graph that follows a clock.
    // Puts the graph at a media time of its clock, also one before its start or after its
    // end, where it shows the nearest picture and waits for the clock.
    void DS_PlaceOnClock(double newPosition);
    // The file's first timestamp: where media time 0 lies on the recorder's clock.
    double DS_GetStartTime();
    // The media time on the clock, unbounded by the file's length.
    double DS_GetClockPosition();
    // The picture on show and the usual picture interval; false while the picture of the
    // last seek is still being found (or there is no picture).
    bool DS_GetShownPicture(double& time, double& interval);
    // The camera's offset against the other of its pair, shown in the time overlay.
    void DS_SetTimeOffset(double seconds);
    // When the file's header says it was recorded.
    std::optional<std::chrono::system_clock::time_point> DS_GetRecordedAt();

private:
    // The clock-following interface of the graph held; null without a graph.
    std::shared_ptr<IClockFollower> follower();
    // The review interface of the graph held, when it has a picture; null otherwise.
    std::shared_ptr<IVideoReview> review();

    std::shared_ptr<IGraphFactory> factory_;
    std::shared_ptr<IPlaybackClock> clock_;
    // The graph of the last open, unowned: frame stepping is queried from it on demand, so
    // that opening takes nothing more from the graph than it always did.
    std::weak_ptr<FilgraphManager> graph_;
    std::shared_ptr<IBasicAudio> BasicAudio;
    std::shared_ptr<IMediaEvent> MediaEvent;
    std::shared_ptr<IVideoWindow> VideoWindow;
    std::shared_ptr<IMediaControl> MediaControl;
    std::shared_ptr<IMediaPosition> MediaPosition;
};

}  // namespace corvid
