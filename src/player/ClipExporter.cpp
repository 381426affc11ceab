#include "player/ClipExporter.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <optional>
#include <vector>

#include "player/AsfHeaderReader.h"
#include "player/AvHandles.h"
#include "player/PacketReader.h"
#include "util/Failure.h"

namespace corvid {

namespace {

// Past the span's end, other streams are read this far for their last packets.
constexpr double kTrailSeconds = 10.0;
// How many times a seek that lands after the start is retried, each twice as far back,
// before the copy reads from the file's beginning.
constexpr int kSeekRetries = 6;
// Packets held between the key frame and the start before any is written.
constexpr std::size_t kMaxPendingBytes = 512 * 1024 * 1024;

std::string errorText(int code) {
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(code, text, sizeof text);
    return text;
}

// ISO 8601 in UTC, as libavformat parses a creation_time.
std::string isoTime(std::chrono::system_clock::time_point time) {
    using namespace std::chrono;
    const auto micros = duration_cast<microseconds>(time.time_since_epoch()).count();
    const std::time_t whole = static_cast<std::time_t>(micros / 1000000);
    std::tm parts{};
    gmtime_r(&whole, &parts);
    char text[64];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.%06lldZ", parts.tm_year + 1900,
                  parts.tm_mon + 1, parts.tm_mday, parts.tm_hour, parts.tm_min, parts.tm_sec,
                  static_cast<long long>(micros % 1000000));
    return text;
}

}  // namespace

// One pass of the copy: the source read from a seek point, the copy being written.
struct ClipExporter::Copy {
    FormatContextHandle input;
    OutputContextHandle output;
    std::vector<int> outputIndex;  // per source stream; -1: not copied
    int keyStream = -1;            // the stream whose key frames start a clip
    double containerStart = 0;

    double seconds(const AVPacket& packet, std::int64_t ts) const {
        return static_cast<double>(ts) * av_q2d(input->streams[packet.stream_index]->time_base) -
               containerStart;
    }
};

int ClipExporter::interruptCallback(void* opaque) {
    return static_cast<ClipExporter*>(opaque)->cancelled_.load() ? 1 : 0;
}

ClipExporter::ClipExporter(std::string source, std::string target)
    : source_(std::move(source)), target_(std::move(target)), file_(target_) {}

void ClipExporter::discard() {
    file_.discard();
    written_ = false;
}

bool ClipExporter::write(double start, double end, const Progress& progress,
                         std::optional<double> zero) {
    if (!std::isfinite(start) || !std::isfinite(end) || start < 0 || end <= start)
        throw Failure(Failure::InvalidArgument, "The clip's end must come after its start");
    discard();
    try {
        written_ = copy(start, end, progress, zero);
    } catch (...) {
        discard();
        throw;
    }
    if (!written_) discard();
    return written_;
}

void ClipExporter::publish() {
    if (!written_) throw Failure(Failure::NotReady, "No clip has been written");
    // Never replaces a file: an earlier clip or a recording of the same name is kept.
    written_ = false;
    file_.publish();
}

void ClipExporter::openSource(Copy& pass) {
    AVFormatContext* raw = avformat_alloc_context();
    if (raw == nullptr) throw Failure(Failure::CannotOpen, "Out of memory opening " + source_);
    raw->interrupt_callback = {&ClipExporter::interruptCallback, this};
    AVDictionary* options = nullptr;
    // A file, whatever its name looks like: never a protocol.
    av_dict_set(&options, "protocol_whitelist", "file", 0);
    const int opened = avformat_open_input(&raw, ("file:" + source_).c_str(), nullptr, &options);
    av_dict_free(&options);
    if (opened < 0) throw Failure(Failure::CannotOpen, "Cannot open " + source_);
    pass.input.reset(raw);
    if (avformat_find_stream_info(raw, nullptr) < 0 && raw->nb_streams == 0)
        throw Failure(Failure::CannotOpen, "No streams in " + source_);
    pass.containerStart =
        raw->start_time != AV_NOPTS_VALUE ? static_cast<double>(raw->start_time) / AV_TIME_BASE : 0;
    pass.outputIndex.assign(raw->nb_streams, -1);
    int copied = 0;
    int firstAudio = -1;
    for (unsigned i = 0; i < raw->nb_streams; ++i) {
        const AVCodecParameters* parameters = raw->streams[i]->codecpar;
        if (parameters->codec_type == AVMEDIA_TYPE_VIDEO &&
            !(raw->streams[i]->disposition & AV_DISPOSITION_ATTACHED_PIC)) {
            if (pass.keyStream < 0) pass.keyStream = static_cast<int>(i);
        } else if (parameters->codec_type == AVMEDIA_TYPE_AUDIO) {
            if (firstAudio < 0) firstAudio = static_cast<int>(i);
        } else {
            continue;
        }
        pass.outputIndex[i] = copied++;
    }
    if (pass.keyStream < 0) pass.keyStream = firstAudio;
    if (pass.keyStream < 0)
        throw Failure(Failure::CannotOpen, "No pictures or sound to copy in " + source_);
}

void ClipExporter::seekTo(Copy& pass, double seconds) {
    if (seconds <= 0) return;  // a fresh source reads from its beginning
    const auto ts =
        static_cast<std::int64_t>(std::llround((seconds + pass.containerStart) * AV_TIME_BASE));
    avformat_seek_file(pass.input.get(), -1, INT64_MIN, ts, ts, 0);
}

double ClipExporter::seekPointFor(double start) {
    // Where to read from: a seek point whose first key frame is at or before the start.
    // Seeks in files without an index may land late; each retry looks twice as far back.
    double seekPoint = start;
    PacketHandle packet = makePacket();
    for (int attempt = 0; seekPoint > 0; ++attempt) {
        Copy probe;
        openSource(probe);
        seekTo(probe, seekPoint);
        std::optional<double> firstKey;
        PacketReader reader(probe.input.get());
        while (!firstKey && !cancelled_ && reader.next(packet.get())) {
            const std::int64_t ts = packet->pts != AV_NOPTS_VALUE ? packet->pts : packet->dts;
            if (packet->stream_index == probe.keyStream && (packet->flags & AV_PKT_FLAG_KEY) &&
                ts != AV_NOPTS_VALUE)
                firstKey = probe.seconds(*packet, ts);
            av_packet_unref(packet.get());
        }
        if (cancelled_) return seekPoint;
        if (firstKey && *firstKey <= start) break;
        seekPoint = attempt < kSeekRetries ? std::max(0.0, seekPoint - double(1 << attempt)) : 0;
    }

    return seekPoint;
}

double ClipExporter::keyFrameAtOrBefore(double start) {
    const double seekPoint = seekPointFor(start);
    Copy pass;
    openSource(pass);
    seekTo(pass, seekPoint);
    PacketHandle packet = makePacket();
    std::optional<double> key;
    PacketReader reader(pass.input.get());
    while (!cancelled_ && reader.next(packet.get())) {
        const std::int64_t ts = packet->pts != AV_NOPTS_VALUE ? packet->pts : packet->dts;
        const bool timed = packet->stream_index == pass.keyStream && ts != AV_NOPTS_VALUE;
        const bool isKey = timed && (packet->flags & AV_PKT_FLAG_KEY);
        const double t = timed ? pass.seconds(*packet, ts) : 0.0;
        av_packet_unref(packet.get());
        if (timed && t > start) break;
        if (isKey) key = t;
    }
    if (!key)
        throw Failure(Failure::InvalidArgument, "The clip starts after the end of " + source_);
    return *key;
}

bool ClipExporter::copy(double start, double end, const Progress& progress,
                        std::optional<double> zero) {
    const double seekPoint = seekPointFor(start);
    if (cancelled_) return false;
    PacketHandle packet = makePacket();

    Copy pass;
    openSource(pass);
    seekTo(pass, seekPoint);
    AVFormatContext* input = pass.input.get();

    // Packets read before the clip's first key frame is certain: the key stream's from
    // the latest key frame at or before the start, the others' from that key frame's time.
    std::vector<PacketHandle> pending;
    std::size_t pendingBytes = 0;
    std::optional<double> clipStart;
    std::vector<std::int64_t> offsets(input->nb_streams, 0);  // the clip's zero, per stream
    // Where the copy's time 0 lies in the source: its first key frame unless a zero shared
    // with other clips was asked for, never after that key frame.
    const auto clipZero = [&] { return std::min(zero.value_or(*clipStart), *clipStart); };
    std::vector<bool> finished(input->nb_streams, false);
    bool begun = false;
    bool reachedStart = false;
    int written = 0;
    double reported = -1;

    const auto beginOutput = [&] {
        AVFormatContext* raw = nullptr;
        if (avformat_alloc_output_context2(&raw, nullptr, "asf", nullptr) < 0 || raw == nullptr)
            throw Failure(Failure::Unspecified, "The ASF writer is not available");
        pass.output.reset(raw);
        for (unsigned i = 0; i < input->nb_streams; ++i) {
            if (pass.outputIndex[i] < 0) continue;
            AVStream* stream = avformat_new_stream(raw, nullptr);
            if (stream == nullptr ||
                avcodec_parameters_copy(stream->codecpar, input->streams[i]->codecpar) < 0)
                throw Failure(Failure::Unspecified, "Out of memory writing " + target_);
            stream->time_base = input->streams[i]->time_base;
            // A tag the ASF writer would read as another codec is left for it to choose.
            const AVCodecParameters* from = input->streams[i]->codecpar;
            unsigned int usual = 0;
            if (raw->oformat->codec_tag != nullptr &&
                av_codec_get_id(raw->oformat->codec_tag, from->codec_tag) != from->codec_id &&
                av_codec_get_tag2(raw->oformat->codec_tag, from->codec_id, &usual))
                stream->codecpar->codec_tag = 0;
            offsets[i] =
                av_rescale_q(std::llround((clipZero() + pass.containerStart) * AV_TIME_BASE),
                             AV_TIME_BASE_Q, input->streams[i]->time_base);
        }
        av_dict_copy(&raw->metadata, input->metadata, 0);
        av_dict_set(&raw->metadata, "creation_time", nullptr, 0);
        // The clip was "created" when its first picture was recorded, so that its pictures
        // keep their wall-clock times.
        if (const auto created = AsfHeaderReader::creationTime(source_)) {
            const auto first =
                *created + std::chrono::duration_cast<std::chrono::system_clock::duration>(
                               std::chrono::duration<double>(clipZero()));
            av_dict_set(&raw->metadata, "creation_time", isoTime(first).c_str(), 0);
        }
        AVDictionary* options = nullptr;
        av_dict_set(&options, "protocol_whitelist", "file", 0);
        const AVIOInterruptCB interrupt{&ClipExporter::interruptCallback, this};
        int result = avio_open2(&raw->pb, ("file:" + file_.temporaryPath()).c_str(),
                                AVIO_FLAG_WRITE, &interrupt, &options);
        av_dict_free(&options);
        if (result < 0)
            throw Failure(Failure::FileSystem,
                          "Cannot write " + target_ + ": " + errorText(result));
        result = avformat_write_header(raw, nullptr);
        if (result < 0)
            throw Failure(Failure::FileSystem,
                          "Cannot write " + target_ + ": " + errorText(result));
        begun = true;
    };
    const auto write = [&](PacketHandle& item) {
        const int source = item->stream_index;
        const AVStream* to = pass.output->streams[pass.outputIndex[source]];
        const AVRational from = input->streams[source]->time_base;
        if (item->pts != AV_NOPTS_VALUE)
            item->pts = av_rescale_q(item->pts - offsets[source], from, to->time_base);
        if (item->dts != AV_NOPTS_VALUE)
            item->dts = av_rescale_q(item->dts - offsets[source], from, to->time_base);
        item->duration = av_rescale_q(item->duration, from, to->time_base);
        item->stream_index = pass.outputIndex[source];
        item->pos = -1;
        const int result = av_interleaved_write_frame(pass.output.get(), item.get());
        if (result < 0 && !cancelled_)
            throw Failure(Failure::FileSystem,
                          "Cannot write " + target_ + ": " + errorText(result));
        ++written;
    };
    const auto flushPending = [&] {
        beginOutput();
        for (PacketHandle& item : pending) {
            if (cancelled_) return;
            write(item);
        }
        pending.clear();
    };

    PacketReader reader(input);
    while (!cancelled_ && reader.next(packet.get())) {
        const int index = packet->stream_index;
        if (pass.outputIndex[index] < 0) {
            av_packet_unref(packet.get());
            continue;
        }
        // A packet without any time cannot be placed in the copy.
        if (packet->pts == AV_NOPTS_VALUE) packet->pts = packet->dts;
        if (packet->pts == AV_NOPTS_VALUE) {
            av_packet_unref(packet.get());
            continue;
        }
        const double t = pass.seconds(*packet, packet->pts);
        const bool isKey = index == pass.keyStream && (packet->flags & AV_PKT_FLAG_KEY);
        if (t >= start) reachedStart = true;
        if (t > end + kTrailSeconds) break;

        if (!begun) {
            if (isKey && (!clipStart || t <= start)) {
                clipStart = t;
                std::erase_if(pending, [&](const PacketHandle& held) {
                    return held->stream_index == pass.keyStream ||
                           pass.seconds(*held, held->pts) < t;
                });
                pendingBytes = 0;
                for (const PacketHandle& held : pending) pendingBytes += held->size;
            }
            if (index == pass.keyStream && !clipStart) {
                av_packet_unref(packet.get());
                continue;  // a picture that needs an earlier key frame
            }
            if (t <= end) {
                PacketHandle held = makePacket();
                av_packet_move_ref(held.get(), packet.get());
                pendingBytes += held->size;
                pending.push_back(std::move(held));
                if (pendingBytes > kMaxPendingBytes)
                    throw Failure(Failure::Unspecified,
                                  "Too far from a key frame to copy " + source_);
            } else {
                av_packet_unref(packet.get());
            }
            // Once the key stream has passed the start, no later key frame can begin the clip.
            if (clipStart && index == pass.keyStream && t > start) flushPending();
            continue;
        }

        if (t > end) finished[index] = true;
        if (t > end || (clipStart && t < *clipStart)) {
            av_packet_unref(packet.get());
        } else {
            PacketHandle item = makePacket();
            av_packet_move_ref(item.get(), packet.get());
            write(item);
        }
        bool all = true;
        for (unsigned i = 0; i < input->nb_streams; ++i)
            if (pass.outputIndex[i] >= 0 && !finished[i]) all = false;
        if (all) break;
        if (progress && clipStart) {
            const double share = std::clamp((t - *clipStart) / (end - *clipStart), 0.0, 1.0);
            if (share - reported >= 0.005) {
                reported = share;
                progress(share);
            }
        }
    }
    if (cancelled_) return false;
    if (!reachedStart)
        throw Failure(Failure::InvalidArgument, "The clip starts after the end of " + source_);
    if (!begun && clipStart) flushPending();
    if (cancelled_) return false;
    if (written == 0)
        throw Failure(Failure::InvalidArgument,
                      "Nothing was recorded in the clip's span in " + source_);

    int result = av_write_trailer(pass.output.get());
    if (result >= 0 && pass.output->pb->error < 0) result = pass.output->pb->error;
    const int closed = avio_closep(&pass.output->pb);
    if (cancelled_) return false;
    if (result >= 0) result = closed;
    if (result < 0)
        throw Failure(Failure::FileSystem, "Cannot write " + target_ + ": " + errorText(result));
    file_.sync();
    clipStart_ = *clipStart;
    if (progress) progress(1.0);
    return true;
}

}  // namespace corvid
