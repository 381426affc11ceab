#pragma once

extern "C" {
#include <libavcodec/avcodec.h>
}

namespace corvid {

// The picture buffers of every video decoder, kept across recordings: a new recording's
// decoder takes the planes an earlier one gave back instead of having the allocator map,
// fault in and later spread fresh ones.
class DecoderBuffers {
public:
    // Planes of one size kept for the next decoders: for each of two cameras, the pictures
    // queued ahead, the one on show and the decoder's references. More are freed.
    static constexpr int kSparePerSize = 16;

    // For AVCodecContext::get_buffer2; other than planar video it leaves to FFmpeg.
    static int getBuffer(AVCodecContext* context, AVFrame* frame, int flags);

    // Planes kept, of every size (for tests).
    static int spare();
};

}  // namespace corvid
