#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <vector>

#include "player/DecoderRefusals.h"
#include "player/IAudioOutput.h"
#include "player/InjectedFaults.h"
#include "player/MediaClock.h"
#include "player/MediaSource.h"
#include "player/PacketQueue.h"
#include "player/PlaybackFault.h"
#include "player/TempoFilter.h"
#include "player/WorkerThread.h"

namespace corvid {

// Decodes the audio stream on its own thread, converts it to the output's format, brings
// it to the playback rate at its own pitch and writes it to the output. Sound is kept for
// rates 1/8..2 and dropped outside them. When the file has no video it also
// ends the clock's seek hold and reports the end of the media. A decoder that keeps
// refusing the packets, or an output that failed, is reported to `fault`.
//
// A change of speed drops the sound written for the old speed that the output still
// holds, and makes the sound again at the new speed from where the clock will be when it
// is heard, out of the sound decoded and not yet heard, kept for that; so the sound goes
// on at the new speed as soon as the output has played what it cannot take back.
class AudioDecoder {
public:
    // `faults` may be null.
    AudioDecoder(const MediaSource& file, PacketQueue& packets, IAudioOutput& output,
                 MediaClock& clock, const std::atomic<int>& generation, bool releasesClock,
                 PlaybackFault& fault, const InjectedFaults* faults);
    AudioDecoder(const AudioDecoder&) = delete;
    AudioDecoder& operator=(const AudioDecoder&) = delete;

    void stop();
    // Cuts a wait short, so that a new position or a stop is taken up at once.
    void wake();
    // Sound not heard is passed over at the clock's pace without being decoded.
    void setAudible(bool audible);
    // The generation whose last sound has been written; -1 before any.
    int endedGeneration() const { return ended_.load(); }

private:
    void run();
    void interrupt();
    void send(const AVPacket* packet);
    void receiveFrames();
    // Tells the fault once the decoder refused too much in a row.
    void checkRefusal(int answer);
    void passUnheard(const AVPacket& packet);
    void play(const AVFrame* frame);
    // Keeps converted sound (1x, the output's rate) that ends at media time `end`, as long
    // as it may still be heard.
    void keep(const float* samples, std::size_t frames, double end);
    // Muted sound starts again where the clock will be when it is heard: from the sound
    // kept, when that reaches back so far; else once the clock gets to it.
    void rejoin(double rate);
    bool prepareResampler(const AVFrame* frame, int outRate);
    // Readies the tempo filter for `rate` (none at normal speed), first writing out what a
    // filter for another rate still holds; false when no filter can be made.
    bool prepareTempo(double rate);
    // Writes converted sound that ends at media time `end` at the rate it is played at.
    void deliver(const float* samples, std::size_t frames, double rate, double end);
    // Writes what the tempo filter holds and removes it.
    void drainTempo();
    bool superseded() const;
    // Sleeps for `duration` or until woken.
    void nap(std::chrono::milliseconds duration);
    // Sleeps until the clock is expected at `time`, or until woken; the caller looks again.
    void napUntilClock(double time);
    void waitWhileHeld();
    // Writes, waiting for room; `frameSeconds` is the media time of one output frame and
    // `endTime` the media time where the sound written ends.
    void writeAll(const float* samples, std::size_t frames, double frameSeconds, double endTime);
    // Tells the clock what is heard, given the media time where the written sound ends.
    void steerClock(double writtenUpTo);
    // Whether the sound heard is behind a clock that went on without it.
    bool behindClock(double writtenUpTo);
    // Drops the sound not heard yet and mutes; rejoin() starts it again at the clock.
    void restartAtClock();
    // Whether the clock's speed is no longer the one the sound not heard yet was made for.
    bool speedChanged() const;

    const MediaSource& file_;
    AVCodecContext* codec_;
    PacketQueue& packets_;
    IAudioOutput& output_;
    MediaClock& clock_;
    const std::atomic<int>& generation_;
    const bool releasesClock_;
    PlaybackFault& fault_;
    const InjectedFaults* faults_;
    DecoderRefusals refusals_;
    std::mutex napLock_;
    std::condition_variable napWake_;
    bool woken_ = false;
    std::atomic<int> ended_{-1};
    std::atomic<bool> audible_{true};
    bool passedUnheard_ = false;

    int decoding_ = 0;
    bool seeking_ = false;
    bool muted_ = false;        // the last sound was dropped for its speed
    double writtenRate_ = 1.0;  // the speed the sound not heard yet was made for
    double target_ = 0;
    double nextTime_ = 0;
    ResamplerHandle resampler_;
    int resamplerInRate_ = 0;
    int resamplerInFormat_ = -1;
    int resamplerInChannels_ = 0;
    int resamplerOutRate_ = 0;
    std::vector<float> buffer_;
    std::unique_ptr<TempoFilter> tempo_;
    std::vector<float> tempoOut_;
    // Converted sound that may not have been heard yet, oldest first, each piece with the
    // media time where it ends; made again at a new speed from where the clock is.
    struct Kept {
        double end = 0;
        std::vector<float> samples;
    };
    std::deque<Kept> kept_;
    std::vector<float> replay_;
    double deliveredUpTo_ = 0;  // the media time where the sound delivered so far ends
    WorkerThread worker_{"corvid-audio", [this] { run(); }, [this] { interrupt(); }};
};

}  // namespace corvid
