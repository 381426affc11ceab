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
    // Planes of one size kept for the next decoders: what two cameras' first pictures take,
    // the references and the pictures queued ahead. More are freed, so a closed recording
    // leaves a few megabytes at most.
    static constexpr int kSparePerSize = 8;

    // For AVCodecContext::get_buffer2; other than planar video it leaves to FFmpeg.
    static int getBuffer(AVCodecContext* context, AVFrame* frame, int flags);

    // Planes kept, of every size (for tests).
    static int spare();
};

}  // namespace corvid
