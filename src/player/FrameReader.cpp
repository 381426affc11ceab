#include "player/FrameReader.h"

#include <algorithm>
#include <chrono>

#include "player/LocalFileStorage.h"

namespace corvid {

namespace {

// Opening a file and finding its end may take this long on slow storage.
constexpr std::chrono::seconds kOpenTimeout{30};
// A frame this close after a time counts as at it (timestamp rounding).
constexpr double kPictureSlack = 0.001;
// How many times a seek that lands after the start is retried, each twice as far back,
// before reading from the file's beginning.
constexpr int kReadSeekRetries = 6;

}  // namespace

FrameReader::FrameReader(const std::string& path, AVMediaType type,
                         const std::atomic<bool>& cancelled)
    : file_(std::make_unique<MediaSource>(std::make_shared<LocalFileStorage>(), path, kOpenTimeout,
                                          [&cancelled] { return cancelled.load(); })) {
    file_->finishOpening();
    if (type == AVMEDIA_TYPE_VIDEO && file_->hasVideo()) {
        stream_ = file_->videoIndex();
        codec_ = file_->videoCodec();
    } else if (type == AVMEDIA_TYPE_AUDIO && file_->hasAudio()) {
        stream_ = file_->audioIndex();
        codec_ = file_->audioCodec();
    }
}

double FrameReader::timeOf(const AVFrame& frame) {
    const double step = codec_->codec_type == AVMEDIA_TYPE_AUDIO && frame.sample_rate > 0
                            ? static_cast<double>(frame.nb_samples) / frame.sample_rate
                            : file_->frameInterval();
    last_ = file_->frameTime(&frame, stream_).value_or(last_ + step);
    return last_;
}

void FrameReader::seek(double time) {
    AVFormatContext* format = file_->format();
    const std::int64_t ts = file_->toTimestamp(std::max(0.0, time));
    if (time <= 0 || avformat_seek_file(format, -1, INT64_MIN, ts, ts, 0) < 0) {
        // The file's beginning, wherever the container says it starts.
        const std::int64_t start = format->start_time != AV_NOPTS_VALUE ? format->start_time : 0;
        if (av_seek_frame(format, -1, start, AVSEEK_FLAG_BACKWARD) < 0)
            av_seek_frame(format, -1, 0, AVSEEK_FLAG_BYTE);
    }
    avcodec_flush_buffers(codec_);
    needKey_ = codec_->codec_type == AVMEDIA_TYPE_VIDEO;
    drained_ = false;
    ended_ = false;
    last_ = time - file_->frameInterval();
    held_.clear();
}

void FrameReader::start(double time) {
    if (!present()) return;
    double from = time;
    for (int attempt = 0;; ++attempt) {
        seek(from);
        std::optional<Frame> first = decode();
        // Late: a key frame after the start, where an earlier one exists.
        if (first && first->time > time + kPictureSlack && from > 0) {
            from = attempt < kReadSeekRetries ? std::max(0.0, from - double(1 << attempt)) : 0;
            continue;
        }
        // The last frame at or before the start is the first one kept.
        while (first) {
            std::optional<Frame> after = decode();
            if (!after || after->time > time + kPictureSlack) {
                held_.push_back(std::move(*first));
                if (after) held_.push_back(std::move(*after));
                break;
            }
            first = std::move(after);
        }
        return;
    }
}

std::optional<FrameReader::Frame> FrameReader::next() {
    if (held_.empty()) return decode();
    Frame frame = std::move(held_.front());
    held_.pop_front();
    return frame;
}

std::optional<FrameReader::Frame> FrameReader::decode() {
    if (!present()) return std::nullopt;
    FrameHandle frame = makeFrame();
    while (!ended_) {
        if (avcodec_receive_frame(codec_, frame.get()) >= 0) {
            const double time = timeOf(*frame);
            return Frame{std::move(frame), time};
        }
        if (drained_) {
            ended_ = true;
            break;
        }
        if (!reader_.next(packet_.get())) {
            // Let the pictures the decoder holds back out.
            avcodec_send_packet(codec_, nullptr);
            drained_ = true;
            continue;
        }
        const bool wanted =
            packet_->stream_index == stream_ && (!needKey_ || (packet_->flags & AV_PKT_FLAG_KEY));
        if (wanted) {
            needKey_ = false;
            avcodec_send_packet(codec_, packet_.get());
        }
        av_packet_unref(packet_.get());
    }
    return std::nullopt;
}

}  // namespace corvid
