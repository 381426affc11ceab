#pragma once

#include <atomic>
#include <chrono>
#include <functional>
#include <future>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "player/AsfHeaderReader.h"
#include "player/AvHandles.h"
#include "player/FileReader.h"
#include "player/IFileStorage.h"
#include "player/MediaInput.h"

namespace corvid {

// An opened media file: its container, the first video and first audio stream with
// their decoders, and its start and duration in seconds. Media seconds count from the
// container's start time. The file is read from `storage` by two FileReaders, one that
// opens and plays it and one that scans its end for the duration: a read the storage does
// not answer is given up when the source is interrupted, when the open's time limit runs
// out, and during playback once it outlasts the stall limit.
class MediaSource {
public:
    // Opens the file and its decoders within `timeout`; throws Failure(CannotOpen) when
    // it cannot be read or has no stream that can be decoded, Failure(Timeout) when the
    // storage did not answer in time.
    // `cancelled`, when given, is asked before each read: true gives the reads up (work
    // that a user cancelled).
    MediaSource(std::shared_ptr<IFileStorage> storage, const std::string& path,
                std::chrono::milliseconds timeout, std::function<bool()> cancelled = {});
    ~MediaSource();
    MediaSource(const MediaSource&) = delete;
    MediaSource& operator=(const MediaSource&) = delete;

    const std::string& path() const { return path_; }
    AVFormatContext* format() const { return format_.get(); }
    int videoIndex() const { return videoIndex_; }
    int audioIndex() const { return audioIndex_; }
    AVCodecContext* videoCodec() const { return videoCodec_.get(); }
    AVCodecContext* audioCodec() const { return audioCodec_.get(); }
    bool hasVideo() const { return videoIndex_ >= 0; }
    bool hasAudio() const { return audioIndex_ >= 0; }
    // The file's size in bytes when it was opened; -1 when unknown.
    std::int64_t openedSize() const { return openedSize_; }
    // When the recorder made the file, from its ASF header; nothing when it does not say.
    std::optional<AsfHeaderReader::TimePoint> recordedAt() const { return recordedAt_; }
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

    // Gives up any read at once, also one the storage does not answer (teardown).
    void interrupt();
    // Moves the time limit of reads; played files have none.
    void setDeadline(std::chrono::steady_clock::time_point deadline);
    // The longest one read may take while the file plays; zero: as long as the storage takes.
    void setStallLimit(std::chrono::milliseconds limit) { reader_->setStallLimit(limit); }
    // Whether the playing reader gave up on a read the storage did not answer in time.
    bool storageStalled() const { return reader_->stalled(); }

private:
    static int interruptCallback(void* opaque);
    // Opens the container over `input`, bounded as the file's reads are; false when the
    // bytes are no container the libraries know.
    bool openContainer(MediaInput& input, FormatContextHandle& format) const;
    void readFileProperties();
    void startEndScan(std::shared_ptr<IFileStorage> storage,
                      std::chrono::steady_clock::time_point deadline);
    void openDecoder(int index, CodecContextHandle& codec);
    double scanEnd() const;
    void settleDuration() const;
    bool expired() const;

    std::string path_;
    std::function<bool()> cancelled_;
    std::atomic<bool> interrupted_{false};
    std::atomic<std::int64_t> deadlineNs_{0};  // 0: none
    // The two readers, each with the libraries' view of it; the end scan's, where there is
    // one, goes once the duration is settled. Under readersMutex_ where another thread may
    // interrupt them.
    mutable std::mutex readersMutex_;
    std::unique_ptr<FileReader> reader_;
    std::unique_ptr<FileReader> scanReader_;
    std::unique_ptr<MediaInput> input_;
    FormatContextHandle format_;
    CodecContextHandle videoCodec_;
    CodecContextHandle audioCodec_;
    int videoIndex_ = -1;
    int audioIndex_ = -1;
    std::int64_t openedSize_ = -1;
    std::optional<AsfHeaderReader::TimePoint> recordedAt_;
    // The header's sizes hold: its writer closed the file and nothing was cut off since.
    bool writerFinished_ = false;
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
