#include "player/Pipeline.h"

#include <algorithm>
#include <utility>

#include "player/AudioDecoder.h"
#include "player/Demuxer.h"
#include "player/FrameQueue.h"
#include "player/FrameSlot.h"
#include "player/MediaClock.h"
#include "player/PacketQueue.h"
#include "player/PlaybackFault.h"
#include "player/PlayerLog.h"
#include "player/Presenter.h"
#include "player/VideoDecoder.h"

namespace corvid {

namespace {

constexpr std::size_t kFramesAhead = 4;

}  // namespace

Pipeline::Pipeline(MediaOpener::Opened media, Options options)
    : media_(std::move(media)),
      faults_(std::move(options.faults)),
      fault_(std::make_unique<PlaybackFault>(
          [this, tell = std::move(options.onFault)] { onFault(tell); })) {
    MediaSource& source = *media_.source;
    source.setStallLimit(options.stallLimit);
    // A member of a shared clock holds it until its first picture is on show, so that
    // every member starts at the same instant.
    clock_ = options.sharedClock
                 ? std::make_unique<MediaClock>(options.sharedClock, source.hasVideo())
                 : std::make_unique<MediaClock>(options.clock);
    if (source.hasAudio()) {
        output_ = options.audioOutput(source.audioCodec()->sample_rate);
        audioPackets_ = std::make_unique<PacketQueue>();
        for (auto& packet : media_.audioAhead) {
            PacketItem item;
            item.packet = std::move(packet);
            audioPackets_->push(std::move(item));
        }
        media_.audioAhead.clear();
    }
    if (source.hasVideo()) {
        const AVFrame& first = *media_.firstPicture;
        nativeSize_ = QSize(first.width, first.height);
        videoPackets_ = std::make_unique<PacketQueue>();
        frames_ = std::make_unique<FrameQueue>(kFramesAhead);
        slot_ = std::make_shared<FrameSlot>();
        VideoFrame picture;
        picture.time = source.frameTime(&first, source.videoIndex()).value_or(0.0);
        picture.frame = std::move(media_.firstPicture);
        frames_->push(std::move(picture), generation_);
    }
    updateSound();
    startThreads();
}

void Pipeline::startThreads() {
    MediaSource& source = *media_.source;
    demuxer_ = std::make_unique<Demuxer>(source, videoPackets_.get(), audioPackets_.get(), *fault_);
    if (source.hasVideo())
        videoDecoder_ = std::make_unique<VideoDecoder>(
            source, *videoPackets_, *frames_, generation_, *clock_, *fault_, faults_.get());
    if (source.hasAudio()) {
        audioDecoder_ =
            std::make_unique<AudioDecoder>(source, *audioPackets_, *output_, *clock_, generation_,
                                           !source.hasVideo(), *fault_, faults_.get());
        audioDecoder_->setAudible(audible_);
    }
    Presenter::Streams streams;
    streams.frames = frames_.get();
    streams.slot = slot_.get();
    if (audioDecoder_) {
        streams.audioEnded = [decoder = audioDecoder_.get()](int generation) {
            return decoder->endedGeneration() == generation;
        };
    }
    Presenter::Failures failures;
    failures.fault = fault_.get();
    failures.injected = faults_.get();
    failures.path = source.path();
    presenter_ = std::make_unique<Presenter>(
        *clock_, std::move(streams), generation_, source.duration(),
        [this](int generation) { onEnd(generation); }, std::move(failures));
}

Pipeline::~Pipeline() {
    // Every thread is told first and joined next, so they wind down together.
    presenter_->stop();
    if (audioDecoder_) audioDecoder_->stop();
    if (videoDecoder_) videoDecoder_->stop();
    demuxer_->stop();
    presenter_.reset();
    audioDecoder_.reset();
    videoDecoder_.reset();
    demuxer_.reset();
    output_.reset();
    clock_.reset();
}

bool Pipeline::hasVideo() const {
    return media_.source->hasVideo();
}

bool Pipeline::hasAudio() const {
    return media_.source->hasAudio();
}

double Pipeline::duration() const {
    return media_.source->duration();
}

void Pipeline::updateSound() {
    if (!output_) return;
    // The clock follows a device that plays at its own pace, and only while it is heard.
    clock_->setSoundSource(audible_ && output_->drivesClock());
    updateStream();
}

void Pipeline::updateStream() {
    if (!output_) return;
    // Under the lock the end is reported with, which stops the stream (onEnd): past the
    // end it would play only silence, waking the sound threads for it.
    std::lock_guard lock(endMutex_);
    output_->setPlaying(running_ && audible_ && endedGeneration_ != generation_.load());
}

void Pipeline::run() {
    clock_->run();
    running_ = true;
    updateSound();
    if (audioDecoder_) audioDecoder_->wake();  // it may be resting on the standing clock
    presenter_->wake();
}

void Pipeline::pause() {
    clock_->pause();
    running_ = false;
    updateSound();
    // A decoder that fell behind a fast clock may have left out the picture due where it
    // stopped: an accurate seek to the same place decodes it. At the end nothing is due.
    const int generation = generation_.load();
    const double position = clock_->position();
    if (videoDecoder_ && !videoDecoder_->exactAt(generation, position) && !endedIn(generation)) {
        seekTo(position, false);
        return;
    }
    presenter_->wake();
}

bool Pipeline::endedIn(int generation) {
    std::lock_guard lock(endMutex_);
    return endedGeneration_ == generation;
}

std::uint64_t Pipeline::skippingPackets() const {
    return videoDecoder_ ? videoDecoder_->skippingPackets() : 0;
}

std::size_t Pipeline::picturesAhead() const {
    return frames_ ? frames_->size() : 0;
}

void Pipeline::stop() {
    clock_->pause();
    running_ = false;
    updateSound();
    seekTo(0.0, false);
}

double Pipeline::position() const {
    const double position = std::max(0.0, clock_->position());
    const double length = duration();
    // An unknown duration (0) bounds nothing.
    return length > 0 ? std::min(position, length) : position;
}

double Pipeline::clockPosition() const {
    return clock_->position();
}

void Pipeline::seek(double target) {
    seekTo(target, false);
}

void Pipeline::seekTo(double target, bool snapToPicture) {
    const int generation = generation_.load() + 1;
    qCDebug(lcPlayer) << "pipeline" << this << "seeks to" << target << "in generation"
                      << generation;
    if (snapToPicture) presenter_->snapClockOnSeek(generation);
    // One step on the clock: no update of the older seek can land after it.
    clock_->seek(generation, target);
    generation_.store(generation);
    if (frames_) frames_->wake();  // a decoder waiting for room gives up the old pictures
    updateStream();                // a seek from the end plays on
    // The file has nothing to read before its start.
    demuxer_->seek(generation, std::max(0.0, target));
    if (audioDecoder_) audioDecoder_->wake();
    presenter_->wake();
}

double Pipeline::rate() const {
    return clock_->rate();
}

void Pipeline::setRate(double rate) {
    // An open sets the rate it has: the presenter is not woken then, or it showed the first
    // picture at the window's size before the panel's aspect correction and again after it.
    if (rate == clock_->rate()) return;
    clock_->setRate(rate);
    // The sound made for the old speed is dropped at once, not after the output's next
    // wait for room.
    if (audioDecoder_) audioDecoder_->wake();
    presenter_->wake();
}

void Pipeline::setGains(float left, float right) {
    if (output_) output_->setGains(left, right);
}

void Pipeline::setAudible(bool audible) {
    if (audible == audible_) return;
    audible_ = audible;
    if (audioDecoder_) audioDecoder_->setAudible(audible);
    updateSound();
}

bool Pipeline::step(int frames, std::chrono::milliseconds limit) {
    if (frames == 0) return true;
    pause();
    // Steps go from the picture due where the clock stopped, so that cameras that follow
    // one clock step from one picture time, however far behind a presenter was.
    if (!presenter_->waitUntilCaughtUp(limit)) return false;
    if (frames > 0) {
        const int done = presenter_->stepsDone();
        presenter_->step(frames);
        return presenter_->waitUntilShown([&] { return presenter_->stepsDone() != done; }, limit);
    }
    // Back: an accurate seek to half a picture after the wanted one.
    const double interval = media_.source->frameInterval();
    const double target = presenter_->shownTime() - interval * (static_cast<double>(-frames) - 0.5);
    seekTo(std::max(0.0, target), true);
    const int generation = generation_.load();
    return presenter_->waitUntilShown([&] { return presenter_->shownGeneration() == generation; },
                                      limit);
}

void Pipeline::onEnd(int generation) {
    {
        std::lock_guard lock(endMutex_);
        endedGeneration_ = generation;
        if (output_ && generation == generation_.load()) output_->setPlaying(false);
    }
    endChanged_.notify_all();
}

void Pipeline::onFault(const std::function<void()>& tell) {
    { std::lock_guard lock(endMutex_); }  // a waiter between its check and its wait sees it
    endChanged_.notify_all();
    if (tell) tell();
}

Pipeline::Outcome Pipeline::outcomeLocked() const {
    if (fault_->failure()) return Outcome::Failed;
    return endedGeneration_ == generation_.load() ? Outcome::Ended : Outcome::Playing;
}

Pipeline::Outcome Pipeline::waitForOutcome(std::chrono::milliseconds limit) {
    std::unique_lock lock(endMutex_);
    endChanged_.wait_for(lock, limit, [this] { return outcomeLocked() != Outcome::Playing; });
    return outcomeLocked();
}

std::optional<std::string> Pipeline::failure() const {
    return fault_->failure();
}

double Pipeline::shownTime() const {
    return presenter_->shownTime();
}

bool Pipeline::seekShown() const {
    return !hasVideo() || presenter_->shownGeneration() == generation_.load();
}

double Pipeline::startTime() const {
    return media_.source->start();
}

double Pipeline::frameInterval() const {
    return media_.source->frameInterval();
}

}  // namespace corvid
