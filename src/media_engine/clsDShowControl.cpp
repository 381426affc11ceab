#include "media_engine/clsDShowControl.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>
#include <utility>

#include "platform/graph/FilgraphManager.h"
#include "util/Attempt.h"
#include "util/Failure.h"
#include "util/Numeric.h"

namespace corvid {

namespace {

constexpr std::int32_t kFullScreenOn = -1;
constexpr std::int32_t kFullScreenOff = 0;

// The reference a step works on; a missing one makes the step fail.
template <typename Interface>
Interface& held(const std::shared_ptr<Interface>& reference) {
    if (!reference) throw Failure(Failure::NoInterface, "The media graph is not open");
    return *reference;
}

// 32-bit integer arithmetic: a result that does not fit fails the step.
std::int32_t checked32(std::int64_t value) {
    if (value < std::numeric_limits<std::int32_t>::min() ||
        value > std::numeric_limits<std::int32_t>::max()) {
        throw Failure(Failure::Overflow, "Overflow in a 32-bit intermediate value");
    }
    return static_cast<std::int32_t>(value);
}

// A quotient taken in double precision and stored rounded, halves to even.
std::int32_t roundedQuotient(std::int32_t numerator, std::int32_t denominator) {
    if (denominator == 0) throw Failure(Failure::DivisionByZero, "Division by zero");
    return toInt32(static_cast<double>(numerator) / static_cast<double>(denominator));
}

void requireNumber(double seconds) {
    if (std::isnan(seconds)) throw Failure(Failure::InvalidArgument, "The time is not a number");
}

}  // namespace

clsDShowControl::clsDShowControl(std::shared_ptr<IGraphFactory> factory)
    : factory_(std::move(factory)) {}

clsDShowControl::~clsDShowControl() {
    BasicAudio.reset();
    MediaControl.reset();
    VideoWindow.reset();
    MediaPosition.reset();
    MediaEvent.reset();
}

void clsDShowControl::DS_Remove() {
    if (MediaControl) {
        // A graph that cannot be stopped stays fully held until it is replaced.
        if (!attempt([&] { MediaControl->Stop(); })) return;
    }
    // The event reference stays, so DS_StillPlaying can still answer for this graph.
    BasicAudio.reset();
    MediaControl.reset();
    VideoWindow.reset();
    MediaPosition.reset();
}

void clsDShowControl::DS_CorrectAspect(std::int16_t TargetWidth, std::int16_t TargetHeight) {
    std::int32_t w = 0;
    std::int32_t h = 0;
    std::int32_t left = 0;
    std::int32_t top = 0;
    attempt([&] {
        w = roundedQuotient(checked32(std::int64_t{TargetHeight} * orgmwidth), orgmheight);
    });
    if (TargetWidth < w) {
        attempt([&] {
            h = roundedQuotient(checked32(std::int64_t{TargetWidth} * orgmheight), orgmwidth);
        });
        w = TargetWidth;
    } else {
        h = TargetHeight;
    }
    attempt([&] { left = toInt32(checked32(std::int64_t{TargetWidth} - w) / 2.0); });
    attempt([&] { top = toInt32(checked32(std::int64_t{TargetHeight} - h) / 2.0); });
    attempt([&] { held(VideoWindow).SetWindowPosition(left, top, w, h); });
}

void clsDShowControl::DS_UpdateMovie() {
    // The graph's video window repaints itself.
}

void clsDShowControl::DS_FullScreenMovie() {
    attempt([&] { held(VideoWindow).put_FullScreenMode(kFullScreenOn); });
}

void clsDShowControl::DS_StretchMovie(std::int16_t TargetWidth, std::int16_t TargetHeight) {
    attempt([&] { held(VideoWindow).SetWindowPosition(0, 0, TargetWidth, TargetHeight); });
}

void clsDShowControl::DS_OpenFile(const QString& FileName, std::int16_t rectTop,
                                  std::int16_t rectLeft, std::int16_t rectWidth,
                                  std::int16_t rectHeight, WindowHandle hWndTarget) {
    // Any failing step marks the file as one without a usable picture; the size steps
    // that run afterwards may set the size again.
    const auto markAudioOnly = [this] {
        orgmwidth = 0;
        orgmheight = 0;
        IsAudioOnly = true;
    };
    std::shared_ptr<FilgraphManager> graph;
    const auto createGraph = [&] {
        MediaControl.reset();  // the new file must never load into a previous graph
        graph_.reset();
        if (!factory_) throw Failure(Failure::NotImplemented, "No media graph factory");
        graph = factory_->CreateFilgraphManager();
        graph_ = graph;
    };
    // Each reference is taken afresh from the new graph: a failed query leaves it empty
    // rather than pointing into a previous graph.
    const auto hold = [&](auto& reference, auto query) {
        reference.reset();
        if (!graph) throw Failure(Failure::NoInterface, "No media graph was created");
        reference = ((*graph).*query)();
    };

    attempt([&] { DS_Remove(); }, markAudioOnly);
    attempt(
        [&] {
            createGraph();
            hold(MediaControl, &FilgraphManager::QueryMediaControl);
        },
        markAudioOnly);
    // A graph that cannot follow the clock plays on a clock of its own.
    if (clock_ && graph) attempt([&] { graph->QueryClockFollower()->FollowClock(clock_); });
    OpenFailure = 0;
    attempt(
        [&] {
            try {
                held(MediaControl).RenderFile(FileName.toStdString());
            } catch (const Failure& failure) {
                OpenFailure = failure.code();
                throw;
            }
        },
        markAudioOnly);
    attempt([&] { MediaFile = FileName; }, markAudioOnly);
    attempt([&] { hold(BasicAudio, &FilgraphManager::QueryBasicAudio); }, markAudioOnly);
    attempt([&] { held(BasicAudio).put_Volume(0); }, markAudioOnly);
    attempt([&] { held(BasicAudio).put_Balance(0); }, markAudioOnly);
    attempt([&] { hold(VideoWindow, &FilgraphManager::QueryVideoWindow); }, markAudioOnly);
    attempt([&] { orgmwidth = held(VideoWindow).get_Width(); }, markAudioOnly);
    attempt([&] { orgmheight = held(VideoWindow).get_Height(); }, markAudioOnly);
    attempt([&] { IsAudioOnly = orgmheight == 0; }, markAudioOnly);
    attempt([&] { held(VideoWindow).put_WindowStyle(IVideoWindow::kStyleVisible); }, markAudioOnly);
    attempt([&] { held(VideoWindow).put_Owner(hWndTarget); }, markAudioOnly);
    attempt([&] { held(VideoWindow).put_Width(rectWidth); }, markAudioOnly);
    attempt([&] { held(VideoWindow).put_Height(rectHeight); }, markAudioOnly);
    attempt([&] { held(VideoWindow).put_Top(rectTop); }, markAudioOnly);
    attempt([&] { held(VideoWindow).put_Left(rectLeft); }, markAudioOnly);
    attempt([&] { held(VideoWindow).put_MessageDrain(hWndTarget); }, markAudioOnly);
    attempt([&] { held(VideoWindow).put_FullScreenMode(kFullScreenOff); }, markAudioOnly);
    attempt([&] { hold(MediaEvent, &FilgraphManager::QueryMediaEvent); }, markAudioOnly);
    attempt([&] { hold(MediaPosition, &FilgraphManager::QueryMediaPosition); }, markAudioOnly);
    attempt([&] { held(MediaPosition).put_Rate(1.0); }, markAudioOnly);
}

void clsDShowControl::DS_Play() {
    if (MediaPosition) {
        // Playing from the end starts again from the beginning.
        if (DS_AtEnd()) MediaPosition->put_CurrentPosition(0.0);
        held(MediaControl).Run();
    }
    DS_Playing = true;
}

bool clsDShowControl::DS_AtEnd() {
    if (!MediaPosition) return true;
    const double position = MediaPosition->get_CurrentPosition();
    const double duration = MediaPosition->get_Duration();
    return roundHalfEven(position) == roundHalfEven(duration);
}

void clsDShowControl::DS_Resume() {
    if (MediaPosition) held(MediaControl).Run();
    DS_Playing = true;
}

std::shared_ptr<IPlaybackClock> clsDShowControl::DS_NewClock() {
    if (!factory_) return nullptr;
    try {
        return factory_->CreatePlaybackClock();
    } catch (const Failure&) {
        return nullptr;
    }
}

void clsDShowControl::DS_FollowClock(std::shared_ptr<IPlaybackClock> clock) {
    clock_ = std::move(clock);
}

void clsDShowControl::DS_PrepareFile(const QString& FileName) {
    if (factory_) factory_->PrepareFile(FileName.toStdString());
}

bool clsDShowControl::DS_FileReady(const QString& FileName,
                                   std::chrono::steady_clock::time_point until) {
    return !factory_ || factory_->FileReady(FileName.toStdString(), until);
}

void clsDShowControl::DS_Pause() {
    if (MediaControl) MediaControl->Pause();
    DS_Playing = false;
}

void clsDShowControl::DS_Stop() {
    if (MediaPosition && MediaControl) {
        MediaControl->Stop();
        MediaPosition->put_CurrentPosition(0.0);
    }
    DS_Playing = false;
}

void clsDShowControl::DS_Seek(double Amount) {
    if (!MediaPosition) return;
    requireNumber(Amount);
    // Every comparison reads the position afresh: a running graph moves meanwhile.
    if (MediaPosition->get_CurrentPosition() + Amount < 0.0) {
        MediaPosition->put_CurrentPosition(0.0);
        return;
    }
    const double duration = MediaPosition->get_Duration();
    if (MediaPosition->get_CurrentPosition() + Amount > duration) {
        MediaPosition->put_CurrentPosition(MediaPosition->get_Duration());
        return;
    }
    MediaPosition->put_CurrentPosition(MediaPosition->get_CurrentPosition() + Amount);
}

void clsDShowControl::DS_WatchFailures(WindowHandle window) {
    attempt([&] { held(MediaEvent).SetNotifyWindow(window); });
}

QString clsDShowControl::DS_TakeFailure() {
    if (!MediaEvent) return {};
    std::string what;
    attempt([&] {
        if (MediaEvent->WaitForCompletion(0) == IMediaEvent::kErrorAbort)
            what = MediaEvent->GetErrorText();
    });
    if (what.empty()) return {};
    BasicAudio.reset();
    MediaControl.reset();
    VideoWindow.reset();
    MediaPosition.reset();
    MediaEvent.reset();
    DS_Playing = false;
    return QString::fromStdString(what);
}

bool clsDShowControl::DS_StillPlaying(std::int32_t msTimeout) {
    if (!MediaEvent) return false;
    std::int32_t eventCode = IMediaEvent::kNone;
    attempt([&] { eventCode = MediaEvent->WaitForCompletion(msTimeout); });
    return eventCode == IMediaEvent::kNone;
}

double clsDShowControl::DS_GetRate() {
    return MediaPosition ? MediaPosition->get_Rate() : 0.0;
}

double clsDShowControl::DS_GetDuration() {
    return MediaPosition ? MediaPosition->get_Duration() : 0.0;
}

double clsDShowControl::DS_GetPosition() {
    return MediaPosition ? MediaPosition->get_CurrentPosition() : 0.0;
}

void clsDShowControl::DS_SetPosition(double newPosition) {
    if (!MediaPosition) return;
    requireNumber(newPosition);
    if (newPosition < 0.0) newPosition = 0.0;
    if (newPosition > MediaPosition->get_Duration()) newPosition = MediaPosition->get_Duration();
    MediaPosition->put_CurrentPosition(newPosition);
}

std::int32_t clsDShowControl::DS_GetVolume() {
    if (!BasicAudio) return 0;
    try {
        return toInt32((static_cast<double>(BasicAudio->get_Volume()) + 10000.0) / 100.0);
    } catch (const Failure&) {
        return 0;
    }
}

bool clsDShowControl::DS_HasSound() {
    if (!BasicAudio) return false;
    try {
        BasicAudio->get_Volume();
        return true;
    } catch (const Failure&) {
        return false;
    }
}

void clsDShowControl::DS_SetVolume(std::int32_t newVolume) {
    if (newVolume > 100) newVolume = 100;
    if (newVolume < 0) newVolume = 0;
    if (!BasicAudio) return;
    attempt([&] { BasicAudio->put_Volume(newVolume * 100 - 10000); });
}

std::int32_t clsDShowControl::DS_GetBalance() {
    if (!BasicAudio) return 0;
    try {
        return BasicAudio->get_Balance();
    } catch (const Failure&) {
        return 0;
    }
}

void clsDShowControl::DS_SetBalance(std::int32_t newBalance) {
    if (newBalance < -10000) newBalance = -10000;
    if (newBalance > 10000) newBalance = 10000;
    if (!BasicAudio) return;
    attempt([&] { BasicAudio->put_Balance(newBalance); });
}

void clsDShowControl::DS_SetRate(double newRate) {
    if (!MediaPosition) return;
    requireNumber(newRate);
    MediaPosition->put_Rate(std::clamp(newRate, kSlowestRate, kFastestRate));
}

void clsDShowControl::DS_StepFrame(std::int32_t frames) {
    if (!MediaPosition || frames == 0) return;
    const std::shared_ptr<FilgraphManager> graph = graph_.lock();
    if (!graph) return;
    graph->QueryVideoFrameStep()->Step(frames);
    // Stepping leaves the graph paused.
    DS_Playing = false;
}

void clsDShowControl::DS_WindowedMovie() {
    attempt([&] { held(VideoWindow).put_FullScreenMode(kFullScreenOff); });
}

std::shared_ptr<IVideoReview> clsDShowControl::review() {
    const std::shared_ptr<FilgraphManager> graph = graph_.lock();
    if (!graph || !VideoWindow || IsAudioOnly) return nullptr;
    return graph->QueryVideoReview();
}

void clsDShowControl::DS_SetTimeOverlay(bool shown) {
    if (const auto held = review()) held->put_TimeOverlay(shown);
}

void clsDShowControl::DS_ResetZoom() {
    if (const auto held = review()) held->ResetZoom();
}

double clsDShowControl::DS_GetZoom() {
    const auto held = review();
    return held ? held->get_Zoom() : 1.0;
}

QImage clsDShowControl::DS_GetCurrentImage(double& time) {
    const auto held = review();
    if (!held) throw Failure(Failure::NotReady, "No picture is shown");
    return held->GetCurrentImage(time);
}

std::shared_ptr<IClockFollower> clsDShowControl::follower() {
    const std::shared_ptr<FilgraphManager> graph = graph_.lock();
    if (!graph || !MediaPosition) return nullptr;
    return graph->QueryClockFollower();
}

void clsDShowControl::DS_PlaceOnClock(double newPosition) {
    requireNumber(newPosition);
    if (const auto held = follower()) held->PlaceOnClock(newPosition);
}

double clsDShowControl::DS_GetStartTime() {
    const auto held = follower();
    return held ? held->get_StartTime() : 0.0;
}

double clsDShowControl::DS_GetClockPosition() {
    const auto held = follower();
    return held ? held->get_ClockPosition() : 0.0;
}

bool clsDShowControl::DS_GetShownPicture(double& time, double& interval) {
    const auto held = follower();
    if (!held || !VideoWindow || IsAudioOnly) return false;
    return held->GetShownPicture(time, interval);
}

void clsDShowControl::DS_SetTimeOffset(double seconds) {
    if (const auto held = review()) held->put_TimeOffset(seconds);
}

std::optional<std::chrono::system_clock::time_point> clsDShowControl::DS_GetRecordedAt() {
    const auto held = review();
    return held ? held->get_RecordedAt() : std::nullopt;
}

QString clsDShowControl::SecToTime(double NewSec) {
    const double whole = std::floor(NewSec);
    // Not-a-number counts as no time at all.
    if (!(whole >= 1.0)) return QStringLiteral("00:00:00");
    const double hours = std::floor(whole / 3600.0);
    if (hours > 24.0) return QStringLiteral("24:59:59");
    const double minutes = std::floor((whole - 3600.0 * hours) / 60.0);
    const double seconds = whole - 60.0 * std::floor(whole / 60.0);
    char text[16];
    std::snprintf(text, sizeof text, "%02d:%02d:%02d", static_cast<int>(hours),
                  static_cast<int>(minutes), static_cast<int>(seconds));
    return QString::fromLatin1(text);
}

}  // namespace corvid
