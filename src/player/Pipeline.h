#pragma once

#include <QSize>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "player/IAudioOutput.h"
#include "player/IClock.h"
#include "player/InjectedFaults.h"
#include "player/MediaOpener.h"

namespace corvid {

class AudioDecoder;
class Demuxer;
class FrameQueue;
class FrameSlot;
class MediaClock;
class PacketQueue;
class PlaybackClock;
class PlaybackFault;
class Presenter;
class VideoDecoder;

// The playing of one opened media file on threads of its own: a demuxer, a decoder per
// stream, a presenter that shows the picture due at the clock's time, and the sound
// output. Commands come from one thread (the GUI's) and reach the workers as messages:
// a new seek generation, a wake-up. Destroying it stops and joins every thread first.
class Pipeline {
public:
    using AudioOutputFactory = std::function<std::unique_ptr<IAudioOutput>(int sampleRate)>;

    struct Options {
        // The time source of a clock of its own; used when `sharedClock` is null.
        std::shared_ptr<IClock> clock;
        // A clock shared with other pipelines, which then play in lockstep.
        std::shared_ptr<PlaybackClock> sharedClock;
        AudioOutputFactory audioOutput;
        // Called once, on the worker that met it, when playback fails part-way.
        std::function<void()> onFault;
        // The longest one read of the file may take before playback fails, the storage taken
        // for one that stopped answering; zero: as long as the storage takes.
        std::chrono::milliseconds stallLimit{0};
        // Failures tests make the workers meet; none when null.
        std::shared_ptr<const InjectedFaults> faults;
    };

    enum class Outcome { Playing, Ended, Failed };

    Pipeline(MediaOpener::Opened media, Options options);
    ~Pipeline();
    Pipeline(const Pipeline&) = delete;
    Pipeline& operator=(const Pipeline&) = delete;

    bool hasVideo() const;
    bool hasAudio() const;
    QSize nativeSize() const { return nativeSize_; }
    // When the recorder made the file, where its header says.
    std::optional<AsfHeaderReader::TimePoint> recordedAt() const {
        return media_.source->recordedAt();
    }
    double duration() const;
    // Where the presenter leaves the pictures; null without video.
    std::shared_ptr<FrameSlot> slot() const { return slot_; }

    void run();
    // Paused on the picture due at the clock's position, decoded whole.
    void pause();
    // Paused at the start.
    void stop();
    // The position in media seconds, within 0..duration when the duration is known.
    double position() const;
    // The media time on the clock, unbounded: below 0 before the file's start.
    double clockPosition() const;
    // An accurate seek: the position reads `target` at once, the picture follows. On a
    // shared clock the target may lie before the start or after the end: the nearest
    // picture shows and the file joins in when the clock reaches its media.
    void seek(double target);
    double rate() const;
    void setRate(double rate);
    // Volume and balance as amplitude factors.
    void setGains(float left, float right);
    // Whether the sound is heard. Sound that is not heard is neither decoded nor played,
    // and does not drive the clock; heard again, it starts where the clock is.
    void setAudible(bool audible);

    // Shows the picture `frames` pictures after (positive) or before (negative) the one
    // on show, paused; false when that took longer than `limit`.
    bool step(int frames, std::chrono::milliseconds limit);
    // Waits at most `limit` for the end of the media in the current seek, or a failure.
    Outcome waitForOutcome(std::chrono::milliseconds limit);
    // What ended playback part-way (a read error, a file cut short); empty while nothing did.
    std::optional<std::string> failure() const;
    // The media time of the picture on show.
    double shownTime() const;
    // Whether the picture on show is the one the last seek asked for.
    bool seekShown() const;
    // The container's first timestamp (media time 0) and the usual picture interval.
    double startTime() const;
    double frameInterval() const;
    // The video packets decoded with pictures left out to keep up with the clock.
    std::uint64_t skippingPackets() const;
    // The pictures decoded and waiting to be shown.
    std::size_t picturesAhead() const;

private:
    void startThreads();
    void seekTo(double target, bool snapToPicture);
    void updateSound();
    void updateStream();
    void onEnd(int generation);
    bool endedIn(int generation);
    void onFault(const std::function<void()>& tell);
    Outcome outcomeLocked() const;

    MediaOpener::Opened media_;
    std::shared_ptr<const InjectedFaults> faults_;
    // Where the workers leave a failure; reported from then on by waitForOutcome.
    std::unique_ptr<PlaybackFault> fault_;
    std::unique_ptr<MediaClock> clock_;
    std::unique_ptr<IAudioOutput> output_;
    std::atomic<int> generation_{0};
    std::unique_ptr<PacketQueue> videoPackets_;
    std::unique_ptr<PacketQueue> audioPackets_;
    std::unique_ptr<FrameQueue> frames_;
    std::shared_ptr<FrameSlot> slot_;
    std::unique_ptr<Demuxer> demuxer_;
    std::unique_ptr<VideoDecoder> videoDecoder_;
    std::unique_ptr<AudioDecoder> audioDecoder_;
    std::unique_ptr<Presenter> presenter_;
    QSize nativeSize_;
    bool running_ = false;
    bool audible_ = true;

    std::mutex endMutex_;
    std::condition_variable endChanged_;
    int endedGeneration_ = -1;
};

}  // namespace corvid
