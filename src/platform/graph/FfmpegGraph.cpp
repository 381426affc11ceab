#include "platform/graph/FfmpegGraph.h"

#include <QCoreApplication>
#include <QThread>
#include <algorithm>
#include <cmath>
#include <thread>

#include "platform/graph/FfmpegPlaybackClock.h"
#include "platform/graph/GraphNotice.h"
#include "platform/widgets/WindowHandles.h"
#include "player/FrameSlot.h"
#include "player/LocalFileStorage.h"
#include "player/MediaOpener.h"
#include "player/MonotonicClock.h"
#include "player/Pipeline.h"
#include "player/PreparedOpens.h"
#include "player/SilentAudioOutput.h"
#include "player/StillPicture.h"
#include "player_output/QtAudioOutput.h"
#include "player_output/VideoWindowWidget.h"
#include "util/Failure.h"

namespace corvid {

namespace {

using namespace std::chrono_literals;

constexpr auto kStepTimeout = 3s;

std::unique_ptr<IAudioOutput> defaultAudioOutput(int sampleRate) {
    try {
        return std::make_unique<QtAudioOutput>();
    } catch (const Failure&) {
        return std::make_unique<SilentAudioOutput>(sampleRate, std::make_shared<MonotonicClock>());
    }
}

}  // namespace

FfmpegGraph::FfmpegGraph() : FfmpegGraph(Options{}) {}

FfmpegGraph::FfmpegGraph(Options options)
    : options_(std::move(options)), notifier_(std::make_unique<QObject>()) {
    // Damaged files make the libraries talk a lot; Corvid keeps no log.
    static const bool quiet = (av_log_set_level(AV_LOG_FATAL), true);
    (void)quiet;
    if (!options_.clock) options_.clock = std::make_shared<MonotonicClock>();
    if (!options_.audioOutput) options_.audioOutput = defaultAudioOutput;
    if (!options_.storage) options_.storage = std::make_shared<LocalFileStorage>();
}

FfmpegGraph::~FfmpegGraph() {
    teardown();
}

void FfmpegGraph::teardown() {
    // The pipeline's threads stop before the window that shows their pictures goes.
    pipeline_.reset();
    if (widget_) {
        if (QThread::currentThread() == widget_->thread()) {
            delete widget_.data();
        } else {
            widget_->deleteLater();
        }
    }
    widget_ = nullptr;
}

// Loading: open, pick streams and decoders, decode the first picture, start the threads.
void FfmpegGraph::RenderFile(const std::string& fileName) {
    if (pipeline_) throw Failure(Failure::Unspecified, "The graph already holds a file");
    try {
        load(fileName);
    } catch (...) {
        teardown();  // a failed load leaves nothing behind for the next attempt
        throw;
    }
}

void FfmpegGraph::load(const std::string& fileName) {
    Pipeline::Options options;
    options.clock = options_.clock;
    options.sharedClock = sharedClock_;
    options.audioOutput = options_.audioOutput;
    options.onFault = [this] { onFault(); };
    options.stallLimit = options_.stallLimit;
    options.faults = options_.faults;
    std::unique_ptr<MediaOpener> opener =
        options_.prepared ? options_.prepared->take(fileName) : nullptr;
    if (!opener)
        opener = std::make_unique<MediaOpener>(options_.storage, fileName, options_.openTimeout);
    pipeline_ = std::make_unique<Pipeline>(opener->wait(), std::move(options));
    if (pipeline_->hasVideo()) {
        placement_ = QRect(QPoint(0, 0), pipeline_->nativeSize());
        widget_ = new VideoWindowWidget(pipeline_->slot(), pipeline_->nativeSize());
        widget_->setRecordedAt(pipeline_->recordedAt());
    }
}

Pipeline& FfmpegGraph::requireLoaded() const {
    if (!pipeline_) throw Failure(Failure::NotReady, "No media file has been rendered");
    return *pipeline_;
}

Pipeline& FfmpegGraph::requireAudio() const {
    Pipeline& pipeline = requireLoaded();
    if (!pipeline.hasAudio()) throw Failure(Failure::NoInterface, "The media has no sound");
    return pipeline;
}

VideoWindowWidget& FfmpegGraph::requireVideo() const {
    if (!requireLoaded().hasVideo()) throw Failure(Failure::NoVideo, "The media has no video");
    if (!widget_) throw Failure(Failure::NoVideo, "The video window has been destroyed");
    return *widget_;
}

void FfmpegGraph::showStandaloneWindow() {
    // A video window without owner is a window of its own: it appears when playback
    // starts, not when the file is rendered, so that loading alone opens no window.
    if (widget_ && widget_->owner() == nullptr && styleVisible_ && widget_->isHidden())
        widget_->show();
}

void FfmpegGraph::Run() {
    requireLoaded().run();
    showStandaloneWindow();
}

void FfmpegGraph::Pause() {
    requireLoaded().pause();
    showStandaloneWindow();
}

void FfmpegGraph::Stop() {
    if (pipeline_) pipeline_->stop();  // nothing plays without a file, nothing to stop
}

double FfmpegGraph::get_Duration() {
    return requireLoaded().duration();
}

double FfmpegGraph::get_CurrentPosition() {
    return requireLoaded().position();
}

void FfmpegGraph::put_CurrentPosition(double seconds) {
    Pipeline& pipeline = requireLoaded();
    if (!std::isfinite(seconds))
        throw Failure(Failure::InvalidArgument, "Position is not a number");
    const double target = std::max(0.0, seconds);
    const double duration = pipeline.duration();
    pipeline.seek(duration > 0 ? std::min(target, duration) : target);
}

double FfmpegGraph::get_Rate() {
    return requireLoaded().rate();
}

void FfmpegGraph::put_Rate(double rate) {
    Pipeline& pipeline = requireLoaded();
    if (!std::isfinite(rate) || rate <= 0)
        throw Failure(Failure::InvalidArgument, "The rate must be above 0");
    pipeline.setRate(rate);
}

void FfmpegGraph::put_Volume(std::int32_t volume) {
    requireAudio();
    if (volume < AudioLevels::kSilence || volume > 0)
        throw Failure(Failure::InvalidArgument, "Volume out of -10000..0");
    levels_.setVolume(volume);
    applyLevels();
}

void FfmpegGraph::applyLevels() {
    pipeline_->setGains(static_cast<float>(levels_.leftGain()),
                        static_cast<float>(levels_.rightGain()));
    // In lockstep the camera that is silenced is the one not heard: it plays no stream,
    // decodes no sound and has no say in the clock. Alone a graph plays on at any volume.
    pipeline_->setAudible(!sharedClock_ || levels_.volume() > AudioLevels::kSilence);
}

std::int32_t FfmpegGraph::get_Volume() {
    requireAudio();
    return levels_.volume();
}

void FfmpegGraph::put_Balance(std::int32_t balance) {
    requireAudio();
    if (balance < AudioLevels::kSilence || balance > -AudioLevels::kSilence)
        throw Failure(Failure::InvalidArgument, "Balance out of -10000..10000");
    levels_.setBalance(balance);
    applyLevels();
}

std::int32_t FfmpegGraph::get_Balance() {
    requireAudio();
    return levels_.balance();
}

std::int32_t FfmpegGraph::get_Width() {
    requireVideo();
    return pipeline_->nativeSize().width();
}

std::int32_t FfmpegGraph::get_Height() {
    requireVideo();
    return pipeline_->nativeSize().height();
}

void FfmpegGraph::put_WindowStyle(std::int32_t style) {
    VideoWindowWidget& widget = requireVideo();
    styleVisible_ = (style & kStyleVisible) != 0;
    if (widget.owner() != nullptr) widget.setVisible(styleVisible_);
}

void FfmpegGraph::put_Owner(WindowHandle owner) {
    VideoWindowWidget& widget = requireVideo();
    QWidget* host = WindowHandles::widgetOf(owner);
    if (owner != 0 && host == nullptr)
        throw Failure(Failure::InvalidArgument, "Unknown owner window handle");
    widget.setOwner(host);
    if (host != nullptr) widget.setVisible(styleVisible_);
}

void FfmpegGraph::setPlacement(const QRect& rect) {
    VideoWindowWidget& widget = requireVideo();
    if (rect.width() < 0 || rect.height() < 0)
        throw Failure(Failure::InvalidArgument, "Negative window size");
    placement_ = rect;
    widget.setPlacement(rect);
}

void FfmpegGraph::put_Width(std::int32_t width) {
    requireVideo();
    setPlacement(QRect(placement_.topLeft(), QSize(width, placement_.height())));
}

void FfmpegGraph::put_Height(std::int32_t height) {
    requireVideo();
    setPlacement(QRect(placement_.topLeft(), QSize(placement_.width(), height)));
}

void FfmpegGraph::put_Top(std::int32_t top) {
    requireVideo();
    setPlacement(QRect(QPoint(placement_.left(), top), placement_.size()));
}

void FfmpegGraph::put_Left(std::int32_t left) {
    requireVideo();
    setPlacement(QRect(QPoint(left, placement_.top()), placement_.size()));
}

void FfmpegGraph::SetWindowPosition(std::int32_t left, std::int32_t top, std::int32_t width,
                                    std::int32_t height) {
    setPlacement(QRect(left, top, width, height));
}

void FfmpegGraph::GetWindowPosition(std::int32_t& left, std::int32_t& top, std::int32_t& width,
                                    std::int32_t& height) {
    requireVideo();
    left = placement_.left();
    top = placement_.top();
    width = placement_.width();
    height = placement_.height();
}

void FfmpegGraph::put_MessageDrain(WindowHandle drain) {
    VideoWindowWidget& widget = requireVideo();
    QWidget* target = WindowHandles::widgetOf(drain);
    if (drain != 0 && target == nullptr)
        throw Failure(Failure::InvalidArgument, "Unknown drain window handle");
    widget.setDrain(target);
}

void FfmpegGraph::put_FullScreenMode(std::int32_t mode) {
    VideoWindowWidget& widget = requireVideo();
    if (mode != 0 && mode != -1)
        throw Failure(Failure::InvalidArgument, "Full-screen mode is 0 or -1");
    widget.setFullScreen(mode == -1);
}

std::int32_t FfmpegGraph::get_FullScreenMode() {
    return requireVideo().isFullScreenMode() ? -1 : 0;
}

// Called on the worker that met the failure; the threads are joined before notifier_ goes,
// and a notice still queued when it goes is dropped with it.
void FfmpegGraph::onFault() {
    QMetaObject::invokeMethod(
        notifier_.get(),
        [this] {
            if (notifyWindow_) QCoreApplication::postEvent(notifyWindow_, new GraphNotice);
        },
        Qt::QueuedConnection);
}

std::int32_t FfmpegGraph::WaitForCompletion(std::int32_t msTimeout) {
    switch (requireLoaded().waitForOutcome(std::chrono::milliseconds(std::max(0, msTimeout)))) {
        case Pipeline::Outcome::Failed:
            return kErrorAbort;
        case Pipeline::Outcome::Ended:
            return kComplete;
        case Pipeline::Outcome::Playing:
            break;
    }
    return kNone;
}

std::string FfmpegGraph::GetErrorText() {
    return requireLoaded().failure().value_or(std::string());
}

void FfmpegGraph::SetNotifyWindow(WindowHandle window) {
    QWidget* target = WindowHandles::widgetOf(window);
    if (window != 0 && target == nullptr)
        throw Failure(Failure::InvalidArgument, "Unknown notify window handle");
    notifyWindow_ = target;
}

void FfmpegGraph::Step(std::int32_t frames) {
    requireVideo();
    if (frames == 0) return;
    Pause();
    if (!pipeline_->step(frames, kStepTimeout))
        throw Failure(Failure::Timeout, "Stepping did not finish in time");
}

std::shared_ptr<IVideoReview> FfmpegGraph::QueryVideoReview() {
    return std::shared_ptr<IVideoReview>(shared_from_this(), static_cast<IVideoReview*>(this));
}

double FfmpegGraph::get_Zoom() {
    return requireVideo().zoomView().zoom();
}

void FfmpegGraph::ResetZoom() {
    requireVideo().resetZoom();
}

void FfmpegGraph::put_TimeOverlay(bool shown) {
    requireVideo().setTimeOverlay(shown);
}

bool FfmpegGraph::get_TimeOverlay() {
    return requireVideo().timeOverlay();
}

QImage FfmpegGraph::GetCurrentImage(double& time) {
    requireVideo();
    const FrameSlot::Shown shown = pipeline_->slot()->shown();
    if (!shown.frame) throw Failure(Failure::NotReady, "No picture is shown yet");
    QImage image = StillPicture::fromFrame(*shown.frame);
    if (image.isNull()) throw Failure(Failure::Unspecified, "The picture cannot be converted");
    time = shown.time;
    return image;
}

std::shared_ptr<IClockFollower> FfmpegGraph::QueryClockFollower() {
    return std::shared_ptr<IClockFollower>(shared_from_this(), static_cast<IClockFollower*>(this));
}

void FfmpegGraph::FollowClock(std::shared_ptr<IPlaybackClock> clock) {
    if (!clock) {
        sharedClock_.reset();
        return;
    }
    const auto* ours = dynamic_cast<const FfmpegPlaybackClock*>(clock.get());
    if (ours == nullptr)
        throw Failure(Failure::InvalidArgument, "The clock is not one of this player's");
    sharedClock_ = ours->clock();
}

void FfmpegGraph::PlaceOnClock(double seconds) {
    Pipeline& pipeline = requireLoaded();
    if (!std::isfinite(seconds))
        throw Failure(Failure::InvalidArgument, "Position is not a number");
    // Alone a graph has no moment outside its media to wait for.
    if (!sharedClock_) return put_CurrentPosition(seconds);
    pipeline.seek(seconds);
}

double FfmpegGraph::get_StartTime() {
    return requireLoaded().startTime();
}

double FfmpegGraph::get_ClockPosition() {
    return requireLoaded().clockPosition();
}

bool FfmpegGraph::GetShownPicture(double& time, double& interval) {
    Pipeline& pipeline = requireLoaded();
    time = pipeline.shownTime();
    interval = pipeline.frameInterval();
    return pipeline.seekShown();
}

void FfmpegGraph::put_TimeOffset(double seconds) {
    requireVideo().setTimeOffset(seconds);
}

std::optional<std::chrono::system_clock::time_point> FfmpegGraph::get_RecordedAt() {
    return requireVideo().recordedAt();
}

QWidget* FfmpegGraph::videoWidget() const {
    return widget_.data();
}

double FfmpegGraph::shownPictureTime() const {
    return pipeline_ ? pipeline_->shownTime() : 0.0;
}

std::uint64_t FfmpegGraph::skippingPackets() const {
    return pipeline_ ? pipeline_->skippingPackets() : 0;
}

std::size_t FfmpegGraph::picturesAhead() const {
    return pipeline_ ? pipeline_->picturesAhead() : 0;
}

}  // namespace corvid
