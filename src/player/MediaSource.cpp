#include "player/MediaSource.h"

#include <algorithm>
#include <climits>
#include <cmath>

#include "player/DecoderBuffers.h"
#include "player/PacketReader.h"
#include "player/ThreadName.h"
#include "util/Failure.h"

namespace corvid {

namespace {

// How much of the file's end is read to find its last packet, and when to read more.
constexpr std::int64_t kEndScanBytes = 512 * 1024;
constexpr std::int64_t kLongEndScanBytes = 8 * 1024 * 1024;
// A header duration this far from the packets is not believed.
constexpr double kDurationTolerance = 1.0;
// Packets that start this near zero leave a finished header's duration within the tolerance.
constexpr double kHeaderCountsFromStart = kDurationTolerance / 2;
constexpr int kFirstPicturePacketLimit = 20000;

std::int64_t nowNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

}  // namespace

int MediaSource::interruptCallback(void* opaque) {
    const auto* file = static_cast<const MediaSource*>(opaque);
    return file->expired() || (file->cancelled_ && file->cancelled_()) ? 1 : 0;
}

bool MediaSource::expired() const {
    if (interrupted_.load()) return true;
    const std::int64_t deadline = deadlineNs_.load();
    return deadline != 0 && nowNs() > deadline;
}

void MediaSource::interrupt() {
    interrupted_ = true;
    std::lock_guard lock(readersMutex_);
    if (reader_) reader_->interrupt();
    if (scanReader_) scanReader_->interrupt();
}

void MediaSource::setDeadline(std::chrono::steady_clock::time_point deadline) {
    deadlineNs_ =
        deadline == std::chrono::steady_clock::time_point{}
            ? 0
            : std::chrono::duration_cast<std::chrono::nanoseconds>(deadline.time_since_epoch())
                  .count();
    std::lock_guard lock(readersMutex_);
    if (reader_) reader_->setDeadline(deadline);
    if (scanReader_) scanReader_->setDeadline(deadline);
}

bool MediaSource::openContainer(MediaInput& input, FormatContextHandle& format) const {
    AVFormatContext* raw = avformat_alloc_context();
    if (raw == nullptr) throw Failure(Failure::CannotOpen, "Out of memory opening " + path_);
    raw->pb = input.context();
    raw->io_open = &MediaInput::refuseNestedOpen;
    raw->interrupt_callback = {&MediaSource::interruptCallback, const_cast<MediaSource*>(this)};
    if (avformat_open_input(&raw, path_.c_str(), nullptr, nullptr) < 0) return false;  // freed
    format.reset(raw);
    return true;
}

// The header is read with the open: off the user's thread, within the open's time limit.
void MediaSource::readFileProperties() {
    const AsfHeaderReader::ReadAt read = [this](std::uint64_t offset,
                                                std::span<std::uint8_t> into) -> std::size_t {
        std::size_t done = 0;
        while (done < into.size()) {
            const int wanted = static_cast<int>(std::min<std::size_t>(into.size() - done, INT_MAX));
            const int got =
                reader_->read(static_cast<std::int64_t>(offset + done), into.data() + done, wanted);
            if (got <= 0) break;
            done += static_cast<std::size_t>(got);
        }
        return done;
    };
    const auto properties = AsfHeaderReader::fileProperties(read, std::chrono::system_clock::now());
    if (!properties) return;
    recordedAt_ = properties->created;
    writerFinished_ = !properties->broadcast && openedSize_ > 0 &&
                      properties->size == static_cast<std::uint64_t>(openedSize_);
}

void MediaSource::startEndScan(std::shared_ptr<IFileStorage> storage,
                               std::chrono::steady_clock::time_point deadline) {
    {
        std::lock_guard lock(readersMutex_);
        scanReader_ =
            std::make_unique<FileReader>(std::move(storage), path_, IFileStorage::Use::EndScan);
        scanReader_->setDeadline(deadline);
        if (interrupted_) scanReader_->interrupt();
    }
    lastPacketEnd_ = std::async(std::launch::async, [this] {
        nameThisThread("corvid-scan");
        return scanEnd();
    });
}

MediaSource::MediaSource(std::shared_ptr<IFileStorage> storage, const std::string& path,
                         std::chrono::milliseconds timeout, std::function<bool()> cancelled)
    : path_(path), cancelled_(std::move(cancelled)) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    {
        std::lock_guard lock(readersMutex_);
        reader_ = std::make_unique<FileReader>(storage, path, IFileStorage::Use::Playing);
    }
    setDeadline(deadline);
    reader_->waitUntilOpen();
    openedSize_ = std::max<std::int64_t>(-1, reader_->size());
    readFileProperties();
    input_ = std::make_unique<MediaInput>(*reader_);
    if (!openContainer(*input_, format_)) throw Failure(Failure::CannotOpen, "Cannot open " + path);
    AVFormatContext* raw = format_.get();
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
    // A header its writer finished gives the length, when the packets start near zero (the
    // header counts from zero). Any other (a recording cut short, one still being written,
    // packets starting later, another container) has the end of its packets looked for,
    // while the first picture is decoded: reading the tail takes as long.
    if (!writerFinished_ || !headerKnown_ || std::abs(start_) > kHeaderCountsFromStart)
        startEndScan(storage, deadline);
}

MediaSource::~MediaSource() {
    interrupt();  // a scan still running stops at once
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
    std::lock_guard lock(readersMutex_);
    scanReader_.reset();
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
    context->thread_type = FF_THREAD_SLICE;  // FFmpeg lends its frame threads only its own buffers
    context->get_buffer2 = DecoderBuffers::getBuffer;
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
double MediaSource::scanEnd() const {
    for (const std::int64_t window : {kEndScanBytes, kLongEndScanBytes}) {
        MediaInput input(*scanReader_);
        FormatContextHandle scanner;
        if (!openContainer(input, scanner)) return 0;
        AVFormatContext* raw = scanner.get();
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
        PacketReader reader(raw);
        while (!expired() && reader.next(packet.get())) {
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
    PacketReader reader(format_.get());
    for (int n = 0; n < kFirstPicturePacketLimit && !expired(); ++n) {
        if (!reader.next(packet.get())) {
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
        if (avcodec_receive_frame(videoCodec_.get(), frame.get()) >= 0) {
            // A drained decoder takes no packets until it is flushed, and playback goes on.
            if (drained) avcodec_flush_buffers(videoCodec_.get());
            return frame;
        }
        if (drained) break;
    }
    videoCodec_.reset();
    videoIndex_ = -1;
    if (!hasAudio()) throw Failure(Failure::CannotOpen, "No picture could be decoded");
    return {};
}

}  // namespace corvid
