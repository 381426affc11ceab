#include "player/DecoderBuffers.h"

#include <map>
#include <mutex>
#include <vector>

extern "C" {
#include <libavutil/imgutils.h>
#include <libavutil/mem.h>
#include <libavutil/pixdesc.h>
}

namespace corvid {

namespace {

// Plane sizes, each with the spare planes of that size.
struct Pool {
    std::mutex mutex;
    std::map<std::size_t, std::vector<std::uint8_t*>> spare;
};

Pool& pool() {
    static Pool* const shared = new Pool;  // outlives every decoder, also at exit
    return *shared;
}

std::uint8_t* take(std::size_t size) {
    Pool& p = pool();
    {
        std::lock_guard lock(p.mutex);
        std::vector<std::uint8_t*>& kept = p.spare[size];
        if (!kept.empty()) {
            std::uint8_t* plane = kept.back();
            kept.pop_back();
            return plane;
        }
    }
    return static_cast<std::uint8_t*>(av_malloc(size));
}

void giveBack(void* opaque, std::uint8_t* plane) {
    const std::size_t size = reinterpret_cast<std::uintptr_t>(opaque);
    Pool& p = pool();
    {
        std::lock_guard lock(p.mutex);
        std::vector<std::uint8_t*>& kept = p.spare[size];
        if (kept.size() < DecoderBuffers::kSparePerSize) {
            kept.push_back(plane);
            return;
        }
    }
    av_free(plane);
}

}  // namespace

int DecoderBuffers::getBuffer(AVCodecContext* context, AVFrame* frame, int flags) {
    const AVPixFmtDescriptor* format =
        av_pix_fmt_desc_get(static_cast<AVPixelFormat>(frame->format));
    if (context->codec_type != AVMEDIA_TYPE_VIDEO || format == nullptr ||
        (format->flags &
         (AV_PIX_FMT_FLAG_HWACCEL | AV_PIX_FMT_FLAG_PAL | AV_PIX_FMT_FLAG_BITSTREAM)))
        return avcodec_default_get_buffer2(context, frame, flags);
    // The decoder may write past the picture's edge up to the size it aligns to.
    int width = frame->width;
    int height = frame->height;
    int lineAlign[AV_NUM_DATA_POINTERS] = {};
    avcodec_align_dimensions2(context, &width, &height, lineAlign);
    int lines[4] = {};
    if (av_image_fill_linesizes(lines, static_cast<AVPixelFormat>(frame->format), width) < 0)
        return avcodec_default_get_buffer2(context, frame, flags);
    for (int& line : lines) line = FFALIGN(line, 64);
    std::ptrdiff_t strides[4] = {lines[0], lines[1], lines[2], lines[3]};
    std::size_t planes[4] = {};
    if (av_image_fill_plane_sizes(planes, static_cast<AVPixelFormat>(frame->format), height,
                                  strides) < 0)
        return avcodec_default_get_buffer2(context, frame, flags);
    for (int i = 0; i < 4 && planes[i] > 0; ++i) {
        const std::size_t size = planes[i] + 16 + 64;  // the decoders' reads past the end
        std::uint8_t* plane = take(size);
        if (plane == nullptr) return AVERROR(ENOMEM);
        frame->buf[i] = av_buffer_create(
            plane, size, giveBack, reinterpret_cast<void*>(static_cast<std::uintptr_t>(size)), 0);
        if (frame->buf[i] == nullptr) {
            giveBack(reinterpret_cast<void*>(static_cast<std::uintptr_t>(size)), plane);
            return AVERROR(ENOMEM);
        }
        frame->data[i] = plane;
        frame->linesize[i] = lines[i];
    }
    frame->extended_data = frame->data;
    return 0;
}

int DecoderBuffers::spare() {
    Pool& p = pool();
    std::lock_guard lock(p.mutex);
    int count = 0;
    for (const auto& [size, kept] : p.spare) count += static_cast<int>(kept.size());
    return count;
}

}  // namespace corvid
