#include "support/AvFloor.h"

#include <stdexcept>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

namespace corvid::bench {

namespace {

struct FormatCloser {
    void operator()(AVFormatContext* context) const { avformat_close_input(&context); }
};
struct CodecFreer {
    void operator()(AVCodecContext* context) const { avcodec_free_context(&context); }
};
struct FrameFreer {
    void operator()(AVFrame* frame) const { av_frame_free(&frame); }
};
struct PacketFreer {
    void operator()(AVPacket* packet) const { av_packet_free(&packet); }
};

}  // namespace

struct AvFloor::State {
    std::unique_ptr<AVFormatContext, FormatCloser> format;
    std::unique_ptr<AVCodecContext, CodecFreer> codec;
    std::unique_ptr<AVFrame, FrameFreer> frame{av_frame_alloc()};
    std::unique_ptr<AVPacket, PacketFreer> packet{av_packet_alloc()};
    int stream = -1;
    double timeBase = 0;
    double pictureTime = 0;

    // Decodes until a picture at or after `from` comes out.
    void decodeUntil(double from) {
        for (;;) {
            const int read = av_read_frame(format.get(), packet.get());
            if (read >= 0 && packet->stream_index != stream) {
                av_packet_unref(packet.get());
                continue;
            }
            avcodec_send_packet(codec.get(), read >= 0 ? packet.get() : nullptr);
            av_packet_unref(packet.get());
            while (avcodec_receive_frame(codec.get(), frame.get()) == 0) {
                const std::int64_t pts = frame->best_effort_timestamp;
                pictureTime = pts == AV_NOPTS_VALUE ? pictureTime : pts * timeBase;
                av_frame_unref(frame.get());
                if (pictureTime >= from - 1e-3) return;
            }
            if (read < 0) throw std::runtime_error("No picture at the point asked for");
        }
    }
};

AvFloor::AvFloor(const std::string& path) : state_(std::make_unique<State>()) {
    AVFormatContext* raw = nullptr;
    if (avformat_open_input(&raw, path.c_str(), nullptr, nullptr) < 0)
        throw std::runtime_error("Cannot open " + path);
    state_->format.reset(raw);
    if (avformat_find_stream_info(raw, nullptr) < 0)
        throw std::runtime_error("No stream information in " + path);
    const AVCodec* decoder = nullptr;
    state_->stream = av_find_best_stream(raw, AVMEDIA_TYPE_VIDEO, -1, -1, &decoder, 0);
    if (state_->stream < 0 || decoder == nullptr) throw std::runtime_error("No video in " + path);
    const AVStream* stream = raw->streams[state_->stream];
    state_->timeBase = av_q2d(stream->time_base);
    state_->codec.reset(avcodec_alloc_context3(decoder));
    avcodec_parameters_to_context(state_->codec.get(), stream->codecpar);
    if (avcodec_open2(state_->codec.get(), decoder, nullptr) < 0)
        throw std::runtime_error("Cannot open the decoder for " + path);
    state_->decodeUntil(0);
}

AvFloor::~AvFloor() = default;

double AvFloor::pictureTime() const {
    return state_->pictureTime;
}

double AvFloor::duration() const {
    return state_->format->duration == AV_NOPTS_VALUE
               ? 0
               : static_cast<double>(state_->format->duration) / AV_TIME_BASE;
}

void AvFloor::seek(double seconds) {
    const auto target = static_cast<std::int64_t>(seconds / state_->timeBase);
    if (av_seek_frame(state_->format.get(), state_->stream, target, AVSEEK_FLAG_BACKWARD) < 0)
        throw std::runtime_error("Seek failed");
    avcodec_flush_buffers(state_->codec.get());
    state_->decodeUntil(seconds);
}

}  // namespace corvid::bench
