#include "player/DecoderBuffers.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

extern "C" {
#include <libavformat/avformat.h>
}

#include "player/AvHandles.h"
#include "support/TestMedia.h"

namespace corvid {
namespace {

using test::MediaRecipe;
using test::TestMedia;

// Decodes the pictures of a file's video, with the planes of the shared buffers or with
// FFmpeg's own, and keeps a copy of each picture's visible rows.
class Decoding {
public:
    Decoding(const std::string& path, bool shared) {
        AVFormatContext* opened = nullptr;
        if (avformat_open_input(&opened, path.c_str(), nullptr, nullptr) < 0) return;
        format_.reset(opened);
        avformat_find_stream_info(format_.get(), nullptr);
        stream_ = av_find_best_stream(format_.get(), AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
        if (stream_ < 0) return;
        const AVCodecParameters* parameters = format_->streams[stream_]->codecpar;
        const AVCodec* decoder = avcodec_find_decoder(parameters->codec_id);
        codec_.reset(avcodec_alloc_context3(decoder));
        avcodec_parameters_to_context(codec_.get(), parameters);
        codec_->thread_count = 1;
        codec_->thread_type = FF_THREAD_SLICE;
        if (shared) codec_->get_buffer2 = DecoderBuffers::getBuffer;
        if (avcodec_open2(codec_.get(), decoder, nullptr) < 0) codec_.reset();
    }

    // The visible rows of every plane of up to `count` pictures; the frames stay held.
    std::vector<std::string> pictures(int count) {
        std::vector<std::string> result;
        PacketHandle packet = makePacket();
        while (codec_ && static_cast<int>(result.size()) < count &&
               av_read_frame(format_.get(), packet.get()) >= 0) {
            if (packet->stream_index == stream_ &&
                avcodec_send_packet(codec_.get(), packet.get()) >= 0) {
                FrameHandle frame = makeFrame();
                while (avcodec_receive_frame(codec_.get(), frame.get()) >= 0) {
                    result.push_back(rows(*frame));
                    held_.push_back(std::move(frame));
                    frame = makeFrame();
                }
            }
            av_packet_unref(packet.get());
        }
        return result;
    }

    void release() {
        held_.clear();
        codec_.reset();
    }

private:
    static std::string rows(const AVFrame& frame) {
        std::string bytes;
        for (int plane = 0; plane < 3 && frame.data[plane]; ++plane) {
            const int height = plane == 0 ? frame.height : (frame.height + 1) / 2;
            const int width = plane == 0 ? frame.width : (frame.width + 1) / 2;
            for (int y = 0; y < height; ++y)
                bytes.append(
                    reinterpret_cast<const char*>(frame.data[plane] + y * frame.linesize[plane]),
                    width);
        }
        return bytes;
    }

    FormatContextHandle format_;
    CodecContextHandle codec_;
    int stream_ = -1;
    std::vector<FrameHandle> held_;
};

std::string recording() {
    MediaRecipe recipe;
    recipe.width = 176;
    recipe.height = 144;
    recipe.seconds = 2;
    return TestMedia::make(recipe);
}

TEST(DecoderBuffersTest, getBuffer_decodesTheSamePictures_asFfmpegsOwnBuffers) {
    Decoding own(recording(), false);
    Decoding shared(recording(), true);
    const std::vector<std::string> expected = own.pictures(30);
    ASSERT_EQ(expected.size(), 30u);
    EXPECT_EQ(shared.pictures(30), expected);
}

// A closed recording's planes serve the next one, and only a few are kept.
TEST(DecoderBuffersTest, planes_serveTheNextDecoder_andFewAreKept_whenADecoderCloses) {
    Decoding first(recording(), true);
    ASSERT_EQ(first.pictures(40).size(), 40u);  // 40 pictures held: more than are kept
    const int before = DecoderBuffers::spare();
    first.release();
    const int kept = DecoderBuffers::spare();
    EXPECT_GT(kept, before);
    EXPECT_LE(kept - before, 3 * DecoderBuffers::kSparePerSize);  // three planes a picture

    Decoding next(recording(), true);
    ASSERT_EQ(next.pictures(4).size(), 4u);
    EXPECT_LT(DecoderBuffers::spare(), kept);
}

}  // namespace
}  // namespace corvid
