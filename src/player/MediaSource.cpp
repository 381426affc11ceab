#include "player/MediaSource.h"

#include <algorithm>
#include <cmath>
#include <filesystem>

#include "platform/util/Failure.h"
#include "player/ThreadName.h"

namespace corvid {

namespace {

// How much of the file's end is read to find its last packet, and when to read more.
constexpr std::int64_t kEndScanBytes = 512 * 1024;
constexpr std::int64_t kLongEndScanBytes = 8 * 1024 * 1024;
// A header duration this far from the packets is not believed.
constexpr double kDurationTolerance = 1.0;
constexpr int kFirstPicturePacketLimit = 20000;
constexpr int kDamagedPacketLimit = 1000;

// Opens a local file, whatever its name looks like: names such as "http:x.asf" or
// "concat:a|b" are file names here, never protocols.
int openLocal(AVFormatContext** context, const std::string& path) {
    AVDictionary* options = nullptr;
    av_dict_set(&options, "protocol_whitelist", "file", 0);
    const int result = avformat_open_input(context, ("file:" + path).c_str(), nullptr, &options);
    av_dict_free(&options);
    return result;
}

std::int64_t nowNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

}  // namespace

int MediaSource::interruptCallback(void* opaque) {
    const auto* check = static_cast<const ReadCheck*>(opaque);
    if (check->file->expired()) return 1;
    return check->file->gate_ && !check->file->gate_(check->reader) ? 1 : 0;
}

bool MediaSource::expired() const {
    if (interrupted_.load()) return true;
    const std::int64_t deadline = deadlineNs_.load();
    return deadline != 0 && nowNs() > deadline;
}

void MediaSource::setDeadline(std::chrono::steady_clock::time_point deadline) {
    deadlineNs_ =
        deadline == std::chrono::steady_clock::time_point{}
            ? 0
            : std::chrono::duration_cast<std::chrono::nanoseconds>(deadline.time_since_epoch())
                  .count();
}

MediaSource::MediaSource(const std::string& path, std::chrono::milliseconds timeout, ReadGate gate)
    : gate_(std::move(gate)) {
    setDeadline(std::chrono::steady_clock::now() + timeout);
    // Only regular files: opening a pipe or a device could block beyond any time limit.
    std::error_code error;
    if (!std::filesystem::is_regular_file(path, error))
        throw Failure(Failure::CannotOpen, "Not a readable file: " + path);
    AVFormatContext* raw = avformat_alloc_context();
    if (raw == nullptr) throw Failure(Failure::CannotOpen, "Out of memory opening " + path);
    raw->interrupt_callback = {&MediaSource::interruptCallback, &playingCheck_};
    if (openLocal(&raw, path) < 0) {
        throw Failure(Failure::CannotOpen, "Cannot open " + path);  // raw was freed
    }
    format_.reset(raw);
    openedSize_ = avio_size(raw->pb);
    if (avformat_find_stream_info(raw, nullptr) < 0 && raw->nb_streams == 0)
        throw Failure(Failure::CannotOpen, "No streams in " + path);

    for (unsigned i = 0; i < raw->nb_streams; ++i) {
        const AVStream* stream = raw->streams[i];
        const AVMediaType type = stream->codecpar->codec_type;
        if (type == AVMEDIA_TYPE_VIDEO && videoIndex_ < 0 &&
            !(stream->disposition & AV_DISPOSITION_ATTACHED_PIC)) {
            videoIndex_ = static_cast<int>(i);
        } else if (type == AVMEDIA_TYPE_AUDIO && audioIndex_ < 0) {
            audioIndex_ = static_cast<int>(i);
        }
    }
    if (videoIndex_ >= 0) openDecoder(videoIndex_, videoCodec_);
    if (!videoCodec_) videoIndex_ = -1;
    if (audioIndex_ >= 0) openDecoder(audioIndex_, audioCodec_);
    if (!audioCodec_) audioIndex_ = -1;
    if (videoIndex_ < 0 && audioIndex_ < 0)
        throw Failure(Failure::CannotOpen, "No stream that can be decoded in " + path);
    // Reading the tail takes as long as opening and decoding the first picture: both at once.
    lastPacketEnd_ = std::async(std::launch::async, [this, path] {
        nameThisThread("corvid-scan");
        return scanEnd(path);
    });

    if (videoIndex_ >= 0) {
        const AVRational rate = raw->streams[videoIndex_]->avg_frame_rate.num > 0
                                    ? raw->streams[videoIndex_]->avg_frame_rate
                                    : raw->streams[videoIndex_]->r_frame_rate;
        if (rate.num > 0 && rate.den > 0 && av_q2d(rate) < 1000)
            frameInterval_ = 1.0 / av_q2d(rate);
    }

    start_ = raw->start_time != AV_NOPTS_VALUE ? static_cast<double>(raw->start_time) / AV_TIME_BASE
                                               : 0.0;
    headerKnown_ = raw->duration != AV_NOPTS_VALUE && raw->duration > 0 &&
                   raw->duration_estimation_method != AVFMT_DURATION_FROM_BITRATE;
    headerDuration_ = headerKnown_ ? static_cast<double>(raw->duration) / AV_TIME_BASE : 0.0;
}

MediaSource::~MediaSource() {
    interrupted_ = true;  // a scan still running stops at its next read
}

double MediaSource::duration() const {
    std::call_once(durationSettled_, [this] { settleDuration(); });
    return duration_;
}

void MediaSource::finishOpening() {
    duration();
    // A scan cut short by the time limit found no end, or the wrong one.
    if (expired()) throw Failure(Failure::Timeout, "The file did not answer in time");
    setDeadline({});
}

void MediaSource::settleDuration() const {
    const double last = lastPacketEnd_.valid() ? lastPacketEnd_.get() : 0.0;
    const double scanned = last > 0 ? last - start_ : 0.0;
    duration_ = headerDuration_;
    if (scanned > 0 && (!headerKnown_ || std::abs(headerDuration_ - scanned) > kDurationTolerance))
        duration_ = scanned;
}

void MediaSource::openDecoder(int index, CodecContextHandle& codec) {
    const AVCodecParameters* parameters = format_->streams[index]->codecpar;
    const AVCodec* decoder = avcodec_find_decoder(parameters->codec_id);
    if (decoder == nullptr) return;
    CodecContextHandle context(avcodec_alloc_context3(decoder));
    if (!context || avcodec_parameters_to_context(context.get(), parameters) < 0) return;
    context->thread_count = 1;  // one decoding thread per stream is ours
    context->pkt_timebase = format_->streams[index]->time_base;
    if (avcodec_open2(context.get(), decoder, nullptr) < 0) return;
    codec = std::move(context);
}

double MediaSource::seconds(std::int64_t timestamp, int streamIndex) const {
    return static_cast<double>(timestamp) * av_q2d(format_->streams[streamIndex]->time_base) -
           start_;
}

std::optional<double> MediaSource::frameTime(const AVFrame* frame, int streamIndex) const {
    // The decoder's best guess first: packets of damaged or old files may carry no pts.
    const std::int64_t ts =
        frame->best_effort_timestamp != AV_NOPTS_VALUE ? frame->best_effort_timestamp : frame->pts;
    if (ts == AV_NOPTS_VALUE) return std::nullopt;
    return seconds(ts, streamIndex);
}

std::int64_t MediaSource::toTimestamp(double seconds) const {
    return static_cast<std::int64_t>(std::llround((seconds + start_) * AV_TIME_BASE));
}

// The end of the last packet in the file (container time), read from its tail with a
// second reader so that the playing one keeps its place. 0 when nothing was found.
double MediaSource::scanEnd(const std::string& path) const {
    for (const std::int64_t window : {kEndScanBytes, kLongEndScanBytes}) {
        AVFormatContext* raw = avformat_alloc_context();
        if (raw == nullptr) return 0;
        raw->interrupt_callback = {&MediaSource::interruptCallback,
                                   const_cast<ReadCheck*>(&scanCheck_)};
        if (openLocal(&raw, path) < 0) return 0;
        FormatContextHandle scanner(raw);
        const std::int64_t size = avio_size(raw->pb);
        if (size <= 0) return 0;
        // In containers of fixed-size packets (ASF) a byte seek must land on a packet's
        // start: the demuxer does not find the next one from the middle of another, and
        // the scan then found nothing in a long recording cut short.
        std::int64_t from = std::max<std::int64_t>(0, size - window);
        const std::int64_t dataStart = avio_tell(raw->pb);
        if (raw->packet_size > 0 && dataStart > 0 && from > dataStart)
            from = dataStart + (from - dataStart) / raw->packet_size * raw->packet_size;
        av_seek_frame(raw, -1, from, AVSEEK_FLAG_BYTE);
        double end = 0;
        PacketHandle packet = makePacket();
        int damaged = 0;
        while (!expired()) {
            const int read = av_read_frame(raw, packet.get());
            if (read == AVERROR_EOF || avio_feof(raw->pb)) break;
            if (read < 0) {
                // Damaged packets are passed over; the end may lie beyond them.
                if (++damaged > kDamagedPacketLimit) break;
                continue;
            }
            const AVStream* stream = raw->streams[packet->stream_index];
            const std::int64_t ts = packet->pts != AV_NOPTS_VALUE ? packet->pts : packet->dts;
            if (ts != AV_NOPTS_VALUE) {
                const double t =
                    static_cast<double>(ts + std::max<std::int64_t>(0, packet->duration)) *
                    av_q2d(stream->time_base);
                end = std::max(end, t);
            }
            av_packet_unref(packet.get());
        }
        if (end > 0) return end;
        if (size <= window) return 0;
    }
    return 0;
}

FrameHandle MediaSource::decodeFirstPicture(std::vector<PacketHandle>& audioPackets) {
    if (!hasVideo()) return {};
    PacketHandle packet = makePacket();
    FrameHandle frame = makeFrame();
    bool drained = false;
    for (int n = 0; n < kFirstPicturePacketLimit && !expired(); ++n) {
        const int read = av_read_frame(format_.get(), packet.get());
        if (read == AVERROR(EAGAIN)) continue;
        if (read < 0) {
            avcodec_send_packet(videoCodec_.get(), nullptr);  // let held-back pictures out
            drained = true;
        } else if (packet->stream_index == audioIndex_) {
            PacketHandle kept = makePacket();
            av_packet_move_ref(kept.get(), packet.get());
            audioPackets.push_back(std::move(kept));
            continue;
        } else if (packet->stream_index != videoIndex_) {
            av_packet_unref(packet.get());
            continue;
        } else {
            avcodec_send_packet(videoCodec_.get(), packet.get());
            av_packet_unref(packet.get());
        }
        if (avcodec_receive_frame(videoCodec_.get(), frame.get()) >= 0) return frame;
        if (drained) break;
    }
    videoCodec_.reset();
    videoIndex_ = -1;
    if (!hasAudio()) throw Failure(Failure::CannotOpen, "No picture could be decoded");
    return {};
}

}  // namespace corvid
