#include "platform/graph/FfmpegGraph.h"

#include <QCoreApplication>
#include <QThread>
#include <algorithm>
#include <cmath>
#include <thread>

#include "platform/graph/GraphNotice.h"
#include "platform/util/Failure.h"
#include "platform/widgets/WindowHandles.h"
#include "player/AudioDecoder.h"
#include "player/Demuxer.h"
#include "player/FrameQueue.h"
#include "player/FrameSlot.h"
#include "player/MediaClock.h"
#include "player/MediaOpener.h"
#include "player/MediaSource.h"
#include "player/MonotonicClock.h"
#include "player/PacketQueue.h"
#include "player/PlaybackFault.h"
#include "player/Presenter.h"
#include "player/QtAudioOutput.h"
#include "player/SilentAudioOutput.h"
#include "player/VideoDecoder.h"
#include "player/VideoWindowWidget.h"
#include "player/AsfHeaderReader.h"
#include "player/StillPicture.h"

namespace corvid {

namespace {

using namespace std::chrono_literals;

constexpr std::size_t kFramesAhead = 4;
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
    : options_(std::move(options)),
      fault_(std::make_unique<PlaybackFault>([this] { onFault(); })),
      notifier_(std::make_unique<QObject>()) {
    // Damaged files make the libraries talk a lot; Corvid keeps no log.
    static const bool quiet = (av_log_set_level(AV_LOG_FATAL), true);
    (void)quiet;
    if (!options_.clock) options_.clock = std::make_shared<MonotonicClock>();
    if (!options_.audioOutput) options_.audioOutput = defaultAudioOutput;
}

FfmpegGraph::~FfmpegGraph() {
    teardown();
}

void FfmpegGraph::teardown() {
    // Every thread is told first and joined next, so they wind down together.
    if (presenter_) presenter_->stop();
    if (audioDecoder_) audioDecoder_->stop();
    if (videoDecoder_) videoDecoder_->stop();
    if (demuxer_) demuxer_->stop();
    presenter_.reset();
    audioDecoder_.reset();
    videoDecoder_.reset();
    demuxer_.reset();
    output_.reset();
    if (widget_) {
        if (QThread::currentThread() == widget_->thread()) {
            delete widget_.data();
        } else {
            widget_->deleteLater();
        }
    }
    widget_ = nullptr;
    slot_.reset();
    clock_.reset();
    frames_.reset();
    videoPackets_.reset();
    audioPackets_.reset();
    file_.reset();
}

// Loading: open, pick streams and decoders, decode the first picture, start the threads.
void FfmpegGraph::RenderFile(const std::string& fileName) {
    if (loaded_) throw Failure(Failure::Unspecified, "The graph already holds a file");
    try {
        load(fileName);
    } catch (...) {
        teardown();  // a failed load leaves nothing behind for the next attempt
        throw;
    }
    loaded_ = true;
}

void FfmpegGraph::load(const std::string& fileName) {
    MediaOpener::Opened opened =
        MediaOpener::open(fileName, options_.openTimeout, options_.readGate);
    file_ = std::move(opened.source);
    FrameHandle first = std::move(opened.firstPicture);
    std::vector<PacketHandle>& audioAhead = opened.audioAhead;
    clock_ = std::make_unique<MediaClock>(options_.clock);

    if (file_->hasAudio()) {
        output_ = options_.audioOutput(file_->audioCodec()->sample_rate);
        clock_->setSoundSource(output_->drivesClock());
        audioPackets_ = std::make_unique<PacketQueue>();
        for (auto& packet : audioAhead) {
            PacketItem item;
            item.packet = std::move(packet);
            audioPackets_->push(std::move(item));
        }
    }
    if (file_->hasVideo()) {
        nativeSize_ = QSize(first->width, first->height);
        placement_ = QRect(QPoint(0, 0), nativeSize_);
        videoPackets_ = std::make_unique<PacketQueue>();
        frames_ = std::make_unique<FrameQueue>(kFramesAhead);
        slot_ = std::make_shared<FrameSlot>();
        VideoFrame picture;
        picture.time = file_->frameTime(first.get(), file_->videoIndex()).value_or(0.0);
        picture.frame = std::move(first);
        frames_->push(std::move(picture), generation_);
        widget_ = new VideoWindowWidget(slot_, nativeSize_);
        widget_->setRecordedAt(AsfHeaderReader::creationTime(fileName));
    }

    demuxer_ = std::make_unique<Demuxer>(*file_, videoPackets_.get(), audioPackets_.get(), *fault_);
    if (file_->hasVideo())
        videoDecoder_ =
            std::make_unique<VideoDecoder>(*file_, *videoPackets_, *frames_, generation_);
    if (file_->hasAudio()) {
        audioDecoder_ = std::make_unique<AudioDecoder>(*file_, *audioPackets_, *output_, *clock_,
                                                       generation_, !file_->hasVideo());
    }
    Presenter::Streams streams;
    streams.frames = frames_.get();
    streams.slot = slot_.get();
    if (audioDecoder_) {
        streams.audioEnded = [decoder = audioDecoder_.get()](int generation) {
            return decoder->endedGeneration() == generation;
        };
    }
    presenter_ =
        std::make_unique<Presenter>(*clock_, std::move(streams), generation_, file_->duration(),
                                    [this](int generation) { onEnd(generation); });
}

void FfmpegGraph::requireLoaded() const {
    if (!loaded_) throw Failure(Failure::NotReady, "No media file has been rendered");
}

void FfmpegGraph::requireAudio() const {
    requireLoaded();
    if (!file_->hasAudio()) throw Failure(Failure::NoInterface, "The media has no sound");
}

VideoWindowWidget& FfmpegGraph::requireVideo() const {
    requireLoaded();
    if (!file_->hasVideo()) throw Failure(Failure::NoVideo, "The media has no video");
    if (!widget_) throw Failure(Failure::NoVideo, "The video window has been destroyed");
    return *widget_;
}

void FfmpegGraph::showStandaloneWindow() {
    // A window without owner appears when playback starts, like the platform's.
    if (widget_ && widget_->owner() == nullptr && styleVisible_ && widget_->isHidden())
        widget_->show();
}

void FfmpegGraph::Run() {
    requireLoaded();
    clock_->run();
    if (output_) output_->setPlaying(true);
    showStandaloneWindow();
    presenter_->wake();
}

void FfmpegGraph::Pause() {
    requireLoaded();
    clock_->pause();
    if (output_) output_->setPlaying(false);
    showStandaloneWindow();
    presenter_->wake();
}

void FfmpegGraph::Stop() {
    if (!loaded_) return;  // nothing plays, nothing to stop
    clock_->pause();
    if (output_) output_->setPlaying(false);
    seekTo(0.0, false);
}

void FfmpegGraph::seekTo(double target, bool snapToPicture) {
    const int generation = generation_.load() + 1;
    if (snapToPicture) presenter_->snapClockOnSeek(generation);
    // One step on the clock: no update of the older seek can land after it.
    clock_->seek(generation, target);
    generation_.store(generation);
    if (frames_) frames_->wake();  // a decoder waiting for room gives up the old pictures
    demuxer_->seek(generation, target);
    if (audioDecoder_) audioDecoder_->wake();
    presenter_->wake();
}

double FfmpegGraph::get_Duration() {
    requireLoaded();
    return file_->duration();
}

double FfmpegGraph::get_CurrentPosition() {
    requireLoaded();
    const double position = std::max(0.0, clock_->position());
    // An unknown duration (0) bounds nothing.
    return file_->duration() > 0 ? std::min(position, file_->duration()) : position;
}

void FfmpegGraph::put_CurrentPosition(double seconds) {
    requireLoaded();
    if (!std::isfinite(seconds))
        throw Failure(Failure::InvalidArgument, "Position is not a number");
    const double target = std::max(0.0, seconds);
    seekTo(file_->duration() > 0 ? std::min(target, file_->duration()) : target, false);
}

double FfmpegGraph::get_Rate() {
    requireLoaded();
    return clock_->rate();
}

void FfmpegGraph::put_Rate(double rate) {
    requireLoaded();
    if (!std::isfinite(rate) || rate <= 0)
        throw Failure(Failure::InvalidArgument, "The rate must be above 0");
    clock_->setRate(rate);
    presenter_->wake();
}

void FfmpegGraph::put_Volume(std::int32_t volume) {
    requireAudio();
    if (volume < AudioLevels::kSilence || volume > 0)
        throw Failure(Failure::InvalidArgument, "Volume out of -10000..0");
    levels_.setVolume(volume);
    applyLevels();
}

void FfmpegGraph::applyLevels() {
    output_->setGains(static_cast<float>(levels_.leftGain()),
                      static_cast<float>(levels_.rightGain()));
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
    return nativeSize_.width();
}

std::int32_t FfmpegGraph::get_Height() {
    requireVideo();
    return nativeSize_.height();
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

void FfmpegGraph::onEnd(int generation) {
    {
        std::lock_guard lock(eventMutex_);
        completedGeneration_ = generation;
    }
    eventChanged_.notify_all();
}

// Called on the worker that met the failure; the threads are joined before notifier_ goes,
// and a notice still queued when it goes is dropped with it.
void FfmpegGraph::onFault() {
    {
        // Taken so that a waiter between its check and its wait does not miss the news.
        std::lock_guard lock(eventMutex_);
    }
    eventChanged_.notify_all();
    QMetaObject::invokeMethod(
        notifier_.get(),
        [this] {
            if (notifyWindow_) QCoreApplication::postEvent(notifyWindow_, new GraphNotice);
        },
        Qt::QueuedConnection);
}

std::int32_t FfmpegGraph::WaitForCompletion(std::int32_t msTimeout) {
    requireLoaded();
    std::unique_lock lock(eventMutex_);
    std::int32_t code = kNone;
    eventChanged_.wait_for(lock, std::chrono::milliseconds(std::max(0, msTimeout)), [&] {
        if (fault_->failure()) {
            code = kErrorAbort;
        } else if (completedGeneration_ == generation_.load()) {
            code = kComplete;
        }
        return code != kNone;
    });
    return code;
}

std::string FfmpegGraph::GetErrorText() {
    requireLoaded();
    return fault_->failure().value_or(std::string());
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
    if (frames > 0) {
        const int done = presenter_->stepsDone();
        presenter_->step(frames);
        if (!presenter_->waitUntilShown([&] { return presenter_->stepsDone() != done; },
                                        kStepTimeout))
            throw Failure(Failure::Timeout, "Stepping did not finish in time");
        return;
    }
    // Back: an accurate seek to half a picture after the wanted one.
    const double target =
        presenter_->shownTime() - file_->frameInterval() * (static_cast<double>(-frames) - 0.5);
    seekTo(std::max(0.0, target), true);
    const int generation = generation_.load();
    if (!presenter_->waitUntilShown([&] { return presenter_->shownGeneration() == generation; },
                                    kStepTimeout))
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
    const FrameSlot::Shown shown = slot_->shown();
    if (!shown.frame) throw Failure(Failure::NotReady, "No picture is shown yet");
    QImage image = StillPicture::fromFrame(*shown.frame);
    if (image.isNull()) throw Failure(Failure::Unspecified, "The picture cannot be converted");
    time = shown.time;
    return image;
}

QWidget* FfmpegGraph::videoWidget() const {
    return widget_.data();
}

double FfmpegGraph::shownPictureTime() const {
    return presenter_ ? presenter_->shownTime() : 0.0;
}

}  // namespace corvid
