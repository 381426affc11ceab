#pragma once

#include <memory>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavfilter/avfilter.h>
#include <libavformat/avformat.h>
#include <libswresample/swresample.h>
#include <libswscale/swscale.h>
}

namespace corvid {

// Owning handles for the FFmpeg objects; each frees its object the library's way.
struct FormatContextCloser {
    void operator()(AVFormatContext* context) const { avformat_close_input(&context); }
};
// An output context: its file, when open, is closed too (errors ignored: a writer that
// needs the result closes the file itself first).
struct OutputContextFreer {
    void operator()(AVFormatContext* context) const {
        if (context->pb != nullptr && !(context->oformat->flags & AVFMT_NOFILE))
            avio_closep(&context->pb);
        avformat_free_context(context);
    }
};
struct CodecContextFreer {
    void operator()(AVCodecContext* context) const { avcodec_free_context(&context); }
};
struct FrameFreer {
    void operator()(AVFrame* frame) const { av_frame_free(&frame); }
};
struct PacketFreer {
    void operator()(AVPacket* packet) const { av_packet_free(&packet); }
};
struct ScalerFreer {
    void operator()(SwsContext* context) const { sws_freeContext(context); }
};
struct FilterGraphFreer {
    void operator()(AVFilterGraph* graph) const { avfilter_graph_free(&graph); }
};
struct ResamplerFreer {
    void operator()(SwrContext* context) const { swr_free(&context); }
};

using FormatContextHandle = std::unique_ptr<AVFormatContext, FormatContextCloser>;
using OutputContextHandle = std::unique_ptr<AVFormatContext, OutputContextFreer>;
using CodecContextHandle = std::unique_ptr<AVCodecContext, CodecContextFreer>;
using FrameHandle = std::unique_ptr<AVFrame, FrameFreer>;
using PacketHandle = std::unique_ptr<AVPacket, PacketFreer>;
using ScalerHandle = std::unique_ptr<SwsContext, ScalerFreer>;
using ResamplerHandle = std::unique_ptr<SwrContext, ResamplerFreer>;
using FilterGraphHandle = std::unique_ptr<AVFilterGraph, FilterGraphFreer>;

inline FrameHandle makeFrame() {
    return FrameHandle(av_frame_alloc());
}
inline PacketHandle makePacket() {
    return PacketHandle(av_packet_alloc());
}

}  // namespace corvid
