#pragma once

#include <atomic>
#include <chrono>
#include <functional>
#include <future>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "player/AvHandles.h"

namespace corvid {

// An opened media file: its container, the first video and first audio stream with
// their decoders, and its start and duration in seconds. Media seconds count from the
// container's start time.
class MediaSource {
public:
    // The file's two readers: the one that opens and plays it, and the one that scans its
    // end for the duration.
    enum class Reader { Playing, EndScan };
    // Asked on the reading thread whenever the libraries check whether to give up, which
    // they do before each read from the file. Blocking in it stands for storage that stops
    // answering, returning false for a read that fails (tests).
    using ReadGate = std::function<bool(Reader)>;

    // Opens the file and its decoders within `timeout`; throws Failure(CannotOpen) when
    // it cannot be read or has no stream that can be decoded. Blocks as long as the storage
    // does: MediaOpener bounds it.
    MediaSource(const std::string& path, std::chrono::milliseconds timeout, ReadGate gate = {});
    ~MediaSource();
    MediaSource(const MediaSource&) = delete;
    MediaSource& operator=(const MediaSource&) = delete;

    AVFormatContext* format() const { return format_.get(); }
    int videoIndex() const { return videoIndex_; }
    int audioIndex() const { return audioIndex_; }
    AVCodecContext* videoCodec() const { return videoCodec_.get(); }
    AVCodecContext* audioCodec() const { return audioCodec_.get(); }
    bool hasVideo() const { return videoIndex_ >= 0; }
    bool hasAudio() const { return audioIndex_ >= 0; }
    // The file's size in bytes when it was opened; -1 when unknown.
    std::int64_t openedSize() const { return openedSize_; }
    // Waits for the scan of the file's end the first time it is asked.
    double duration() const;
    // The container's first timestamp in seconds: media time 0.
    double start() const { return start_; }
    // Seconds between two pictures, from the stream's frame rate (0.04 when unknown).
    double frameInterval() const { return frameInterval_; }
    double seconds(std::int64_t timestamp, int streamIndex) const;
    // The media time of a decoded frame of the stream; nothing when it carries none.
    std::optional<double> frameTime(const AVFrame* frame, int streamIndex) const;
    // A media time as a timestamp in AV_TIME_BASE units, for seeking.
    std::int64_t toTimestamp(double seconds) const;

    // Decodes the first picture within the open's time limit. Audio packets read on the
    // way are handed back so that the audio decoder gets them too. Without a picture the
    // video stream is dropped (the file plays as sound only) or, when there is no
    // sound either, Failure(CannotOpen) is thrown.
    FrameHandle decodeFirstPicture(std::vector<PacketHandle>& audioPackets);

    // The last step of opening: waits for the scan of the file's end, within the open's
    // time limit, and then lifts the limit for playback. Throws Failure(Timeout) when the
    // limit ran out first.
    void finishOpening();

    // Stops any blocking read at once (teardown).
    void interrupt() { interrupted_ = true; }
    // Extends the time limit of blocking reads; played files have none.
    void setDeadline(std::chrono::steady_clock::time_point deadline);

private:
    // What the libraries' interrupt callback is given: the file and which reader asks.
    struct ReadCheck {
        const MediaSource* file;
        Reader reader;
    };

    static int interruptCallback(void* opaque);
    void openDecoder(int index, CodecContextHandle& codec);
    double scanEnd(const std::string& path) const;
    void settleDuration() const;
    bool expired() const;

    std::atomic<bool> interrupted_{false};
    std::atomic<std::int64_t> deadlineNs_{0};  // 0: none
    ReadGate gate_;
    ReadCheck playingCheck_{this, Reader::Playing};
    ReadCheck scanCheck_{this, Reader::EndScan};
    FormatContextHandle format_;
    CodecContextHandle videoCodec_;
    CodecContextHandle audioCodec_;
    int videoIndex_ = -1;
    int audioIndex_ = -1;
    std::int64_t openedSize_ = -1;
    double start_ = 0;
    bool headerKnown_ = false;
    double headerDuration_ = 0;
    mutable std::once_flag durationSettled_;
    mutable double duration_ = 0;
    double frameInterval_ = 0.04;
    // The end of the last packet, found by a second reader while the first picture is
    // decoded. Declared last: destroyed first, while what the scan uses still exists.
    mutable std::future<double> lastPacketEnd_;
};

}  // namespace corvid
