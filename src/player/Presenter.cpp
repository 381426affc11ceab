#include "player/Presenter.h"

#include <algorithm>
#include <chrono>
#include <utility>

extern "C" {
#include <libavutil/pixdesc.h>
}

#include "player/PlayerLog.h"

namespace corvid {

namespace {

using namespace std::chrono_literals;

// How often the clock is looked at while a seek's first picture or a step is awaited.
constexpr auto kTick = 4ms;
// The longest sleep while the clock is held, or only the end is awaited: another camera's
// picture lets go of the clock, and the end comes with the clock, neither waking us.
constexpr auto kLongestWait = 20ms;
// The sleep of a presenter with nothing due: paused with the next picture ready, or past
// the end. Runs, seeks, steps, speeds and new sizes or views wake it.
constexpr auto kRestingWait = 250ms;
// The longest sleep while playing. The presenter sleeps until the next picture is due: a
// seek, a run, a pause and a new speed wake it, and a resize is seen with the next picture.
// Waking in between cost two panels more than scaling their pictures.
constexpr auto kLongestPlayingWait = 100ms;
// A picture this close before its time is shown now rather than a tick late.
constexpr double kEarly = 0.002;
constexpr int kLineAlignment = 64;
// Pictures in a row that could not be scaled before the scaler counts as failed for good.
constexpr int kFailedRendersForGood = 3;

}  // namespace

Presenter::Presenter(MediaClock& clock, Streams streams, const std::atomic<int>& generation,
                     double duration, std::function<void(int)> onEnd, Failures failures)
    : clock_(clock),
      streams_(std::move(streams)),
      generation_(generation),
      duration_(duration),
      onEnd_(std::move(onEnd)),
      failures_(std::move(failures)) {
    // Only a resting presenter is woken for a new size: otherwise it sees it within a
    // picture or a look at a held clock, and a panel placed and corrected in one go while
    // it loads is not rendered at each size on the way.
    if (streams_.slot != nullptr)
        streams_.slot->watch([this] {
            if (resting_) wake();
        });
}

Presenter::~Presenter() {
    if (streams_.slot != nullptr) streams_.slot->watch({});
}

void Presenter::stop() {
    worker_.stop();
}

void Presenter::wake() {
    {
        std::lock_guard lock(mutex_);
        woken_ = true;
    }
    wake_.notify_all();
}

void Presenter::snapClockOnSeek(int generation) {
    std::lock_guard lock(mutex_);
    snapGeneration_ = generation;
}

void Presenter::step(int frames) {
    {
        std::lock_guard lock(mutex_);
        stepsWanted_ = frames;
        woken_ = true;
    }
    wake_.notify_all();
}

void Presenter::announceShown() {
    { std::lock_guard lock(mutex_); }  // a waiter between its check and its wait sees it
    shown_.notify_all();
}

bool Presenter::waitUntilShown(const std::function<bool()>& done, std::chrono::milliseconds limit) {
    std::unique_lock lock(mutex_);
    return shown_.wait_for(lock, limit, done);
}

bool Presenter::waitUntilCaughtUp(std::chrono::milliseconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    std::unique_lock lock(mutex_);
    // Asked every tick as well: a picture that arrives when it is not due yet shows nothing,
    // so no one announces it.
    while (!caughtUpLocked()) {
        const auto now = std::chrono::steady_clock::now();
        if (now >= deadline) {
            qCWarning(lcPlayer) << "presenter" << this << "not caught up in generation"
                                << generation_.load() << "after" << limit.count() << "ms";
            return false;
        }
        shown_.wait_for(lock, std::min<std::chrono::steady_clock::duration>(kTick, deadline - now));
    }
    return true;
}

void Presenter::run() {
    std::chrono::microseconds wait = kTick;
    for (;;) {
        {
            std::unique_lock lock(mutex_);
            wake_.wait_for(lock, wait, [this] { return worker_.stopping() || woken_; });
            if (worker_.stopping()) return;
            woken_ = false;
        }
        const int generation = generation_.load();
        if (streams_.frames != nullptr) presentVideo(generation);
        checkEnd(generation);
        checkOverdue(generation);
        wait = nextWait(generation);
    }
}

std::chrono::microseconds Presenter::nextWait(int generation) {
    const std::chrono::microseconds wait = lookAgainIn(generation);
    resting_ = wait == kRestingWait;
    // A new size asked for just before we rest woke nobody.
    return resting_ && sizeAskedFor() ? kTick : wait;
}

bool Presenter::sizeAskedFor() const {
    return current_ && streams_.slot != nullptr &&
           (streams_.slot->targetSize() != renderedSize_ ||
            !(streams_.slot->view() == renderedView_));
}

std::chrono::microseconds Presenter::lookAgainIn(int generation) {
    // Without pictures only the end is awaited, which comes with the clock.
    if (streams_.frames == nullptr)
        return endReportedGeneration_ == generation ? kRestingWait : kLongestWait;
    if (shownGeneration_.load() != generation) return kTick;
    {
        std::lock_guard lock(mutex_);
        if (stepsWanted_ > 0) return kTick;
    }
    if (clock_.held()) return kLongestWait;
    if (endReportedGeneration_ == generation) return kRestingWait;
    if (videoEndedGeneration_ == generation) return kLongestWait;
    bool end = false;
    const std::optional<double> due = streams_.frames->frontTime(generation, end);
    if (!clock_.running()) {
        // Paused, it rests once the next picture waiting is not due: a decoder still behind
        // may yet bring the one due where the clock stopped, and nobody wakes us for it.
        const bool notDue = due && !end && *due > clock_.position() + kEarly;
        return notDue ? kRestingWait : kLongestWait;
    }
    if (!due || end) return kTick;  // the decoder is behind, or the end is near
    const double seconds = clock_.secondsUntil(*due - kEarly);
    const auto until = std::chrono::microseconds(static_cast<long long>(seconds * 1e6));
    return std::clamp<std::chrono::microseconds>(until, kTick / 4, kLongestPlayingWait);
}

void Presenter::presentVideo(int generation) {
    FrameQueue& frames = *streams_.frames;
    frames.dropOlder(generation);
    bool end = false;

    if (shownGeneration_.load() != generation) {
        // The first picture of a seek is shown whatever the clock says.
        std::optional<VideoFrame> first = frames.pop(generation);
        if (!first) return;
        if (first->end) {
            videoEndedGeneration_ = generation;
        } else {
            bool snap = false;
            {
                std::lock_guard lock(mutex_);
                snap = snapGeneration_ == generation;
            }
            if (snap) clock_.setPosition(generation, first->time);
            // The clock goes on from the instant the picture is handed to the window, so
            // that no time passes between the picture seen and the clock let go.
            clock_.release(generation);
            show(std::move(*first));
        }
        shownGeneration_ = generation;
        clock_.release(generation);
        announceShown();
        return;
    }

    int wanted = 0;
    {
        std::lock_guard lock(mutex_);
        wanted = stepsWanted_;
    }
    if (wanted > 0) {
        const std::optional<double> time = frames.frontTime(generation, end);
        if (!time && videoEndedGeneration_ != generation) return;  // not decoded yet
        std::optional<VideoFrame> next = frames.pop(generation);
        if (!next || next->end) {
            videoEndedGeneration_ = generation;
            wanted = 0;
        } else {
            clock_.setPosition(generation, next->time);
            show(std::move(*next));
            --wanted;
        }
        {
            std::lock_guard lock(mutex_);
            stepsWanted_ = wanted;
        }
        if (wanted == 0) {
            ++stepsDone_;
            announceShown();
        }
        return;
    }

    std::optional<VideoFrame> due;
    {
        std::lock_guard lock(mutex_);
        const double position = clock_.position();
        for (;;) {
            const std::optional<double> time = frames.frontTime(generation, end);
            if (!time) break;
            if (end) {
                frames.pop(generation);
                videoEndedGeneration_ = generation;
                break;
            }
            if (*time > position + kEarly) break;
            due = frames.pop(generation);  // later due ones replace earlier ones: late ones go
        }
        if (due) shownTime_ = due->time;
    }
    if (due) {
        show(std::move(*due));
    } else if (sizeAskedFor()) {
        render();
    }
}

void Presenter::show(VideoFrame frame) {
    current_ = std::shared_ptr<AVFrame>(frame.frame.release(), FrameFreer{});
    currentTime_ = frame.time;
    shownTime_ = frame.time;
    render();
    announceShown();
}

bool Presenter::caughtUpLocked() const {
    const int generation = generation_.load();
    if (shownGeneration_.load() != generation) return false;
    if (streams_.frames == nullptr) return true;
    bool end = false;
    const std::optional<double> next = streams_.frames->frontTime(generation, end);
    // Without a decoded picture waiting the decoder may still be behind; once it ended
    // there is none to wait for.
    if (!next) return videoEndedGeneration_.load() == generation;
    return end || *next > clock_.position() + kEarly;
}

void Presenter::render() {
    if (!current_ || streams_.slot == nullptr) return;
    const QSize target = streams_.slot->targetSize();
    const QSize window = target.isEmpty() ? QSize(current_->width, current_->height) : target;
    const ZoomView view = streams_.slot->view();
    renderedSize_ = target;
    renderedView_ = view;
    // Only the part in view is converted, at the size it is shown.
    const AVPixFmtDescriptor* format =
        av_pix_fmt_desc_get(static_cast<AVPixelFormat>(current_->format));
    if (format == nullptr) return;
    const bool fits = view.picture() == QSize(current_->width, current_->height);
    const ZoomView::Crop crop =
        fits ? view.crop(window, 1 << format->log2_chroma_w, 1 << format->log2_chroma_h)
             : ZoomView::Crop{QRect(0, 0, current_->width, current_->height), window, QPoint(0, 0)};
    // The converter takes lines in pairs on its fast path: at an odd height it goes line by
    // line at five times the cost. The extra line lies past the window, which clips it.
    const QSize size(crop.scaled.width(), crop.scaled.height() + crop.scaled.height() % 2);
    const bool injected = failures_.injected != nullptr &&
                          failures_.injected->fails(InjectedFaults::Worker::Scaler, failures_.path);
    if (injected || !prepareScaling(crop.source.size(), size)) {
        if (++failedRenders_ == kFailedRendersForGood && failures_.fault != nullptr)
            failures_.fault->report("The pictures of the recording cannot be shown");
        return;
    }
    failedRenders_ = 0;
    // The scaler's vector code writes whole blocks past the end of a line (32 bytes for
    // a 120-pixel line), so lines are padded to a block and the buffer has a spare tail.
    const int stride = (size.width() * 4 + kLineAlignment - 1) / kLineAlignment * kLineAlignment;
    QImage picture = pictures_->image(size, stride, kLineAlignment);
    if (picture.isNull()) return;
    std::uint8_t* planes[] = {picture.bits()};
    const int strides[] = {stride};
    // The crop's corner lies on the chroma grid, so every plane starts at a whole sample.
    const std::uint8_t* source[AV_NUM_DATA_POINTERS] = {};
    int steps[AV_NUM_DATA_POINTERS] = {};
    bool subsampled[AV_NUM_DATA_POINTERS] = {};
    for (int c = 0; c < format->nb_components; ++c) {
        const int plane = format->comp[c].plane;
        steps[plane] = format->comp[c].step;
        subsampled[plane] = plane != format->comp[0].plane && (c == 1 || c == 2) &&
                            !(format->flags & AV_PIX_FMT_FLAG_RGB);
    }
    for (int plane = 0; plane < AV_NUM_DATA_POINTERS && current_->data[plane]; ++plane) {
        const int x =
            subsampled[plane] ? crop.source.x() >> format->log2_chroma_w : crop.source.x();
        const int y =
            subsampled[plane] ? crop.source.y() >> format->log2_chroma_h : crop.source.y();
        source[plane] = current_->data[plane] +
                        static_cast<std::ptrdiff_t>(y) * current_->linesize[plane] +
                        static_cast<std::ptrdiff_t>(x) * steps[plane];
    }
    sws_scale(scaler_.get(), source, current_->linesize, 0, crop.source.height(), sized_->data,
              sized_->linesize);
    sws_scale(converter_.get(), sized_->data, sized_->linesize, 0, size.height(), planes, strides);
    FrameSlot::Shown shown;
    shown.picture = std::move(picture);
    shown.offset = crop.offset;
    shown.target = target;
    shown.view = view;
    shown.frame = current_;
    shown.time = currentTime_;
    streams_.slot->publish(std::move(shown));
}

bool Presenter::prepareScaling(QSize source, QSize size) {
    scaler_.reset(sws_getCachedContext(scaler_.release(), source.width(), source.height(),
                                       static_cast<AVPixelFormat>(current_->format), size.width(),
                                       size.height(), AV_PIX_FMT_YUV420P, SWS_BILINEAR, nullptr,
                                       nullptr, nullptr));
    converter_.reset(sws_getCachedContext(converter_.release(), size.width(), size.height(),
                                          AV_PIX_FMT_YUV420P, size.width(), size.height(),
                                          AV_PIX_FMT_RGB32, SWS_POINT, nullptr, nullptr, nullptr));
    if (!scaler_ || !converter_) return false;
    if (!sized_ || sized_->width != size.width() || sized_->height != size.height()) {
        sized_ = makeFrame();
        sized_->width = size.width();
        sized_->height = size.height();
        sized_->format = AV_PIX_FMT_YUV420P;
        if (av_frame_get_buffer(sized_.get(), kLineAlignment) < 0) {
            sized_.reset();
            return false;
        }
    }
    return true;
}

void Presenter::checkEnd(int generation) {
    if (endReportedGeneration_ == generation) return;
    const bool videoDone = streams_.frames == nullptr || videoEndedGeneration_ == generation;
    const bool audioDone = !streams_.audioEnded || streams_.audioEnded(generation);
    if (!videoDone || !audioDone || clock_.held()) return;
    if (clock_.position() < duration_) return;
    endReportedGeneration_ = generation;
    // The graph stays running, its position held at the end by the duration, so that a
    // seek back plays on. Without a known duration the position stops where it is.
    if (duration_ <= 0) clock_.stopAtEnd(generation);
    onEnd_(generation);
}

void Presenter::checkOverdue(int generation) {
    if (overdueGeneration_ == generation || !clock_.holdOverdue(generation)) return;
    overdueGeneration_ = generation;
    // The other players of the clock go on without this one's picture.
    clock_.release(generation);
    if (failures_.fault != nullptr) failures_.fault->report("The recording did not answer in time");
}

}  // namespace corvid
