#pragma once

#include <atomic>
#include <optional>
#include <string>

#include "player/AvHandles.h"

namespace corvid {

// Writes pictures and sound into an MP4 file that plays anywhere and streams: H.264
// (libx264, on every core) and AAC, with the index at the front (+faststart).
class Mp4Writer {
public:
    struct Pictures {
        int width = 0;
        int height = 0;
        AVRational rate{25, 1};
    };
    struct Sound {
        int sampleRate = 48000;
        int channels = 2;
    };

    // Opens `path` for writing; `shownName` names the file in messages. Throws Failure
    // when an encoder is missing or the file cannot be written. Once `cancelled` is set,
    // writing stops at once.
    Mp4Writer(const std::string& path, const std::string& shownName, const Pictures& pictures,
              const std::optional<Sound>& sound, const std::string& creationTime,
              const std::atomic<bool>& cancelled);
    Mp4Writer(const Mp4Writer&) = delete;
    Mp4Writer& operator=(const Mp4Writer&) = delete;

    // What the sound encoder takes: planar float frames of this many samples (the last
    // may be shorter), at this rate and layout.
    int soundFrameSize() const;
    int soundRate() const;
    const AVChannelLayout& soundLayout() const;

    // A yuv420p picture of the file's size; its pts counts pictures.
    void writePicture(AVFrame& picture);
    // Sound samples; their pts counts samples.
    void writeSound(AVFrame& samples);
    // Flushes the encoders, writes the index and closes the file. Throws Failure.
    void finish();

private:
    static int interruptCallback(void* opaque);
    void openEncoder(CodecContextHandle& codec, AVStream*& stream, const char* name,
                     AVDictionary** options);
    // Sends a frame (null: the end) and writes every packet the encoder gives back.
    void encode(AVCodecContext* codec, AVStream* stream, AVFrame* frame);
    [[noreturn]] void failed(int result) const;

    std::string shownName_;
    const std::atomic<bool>& cancelled_;
    OutputContextHandle output_;
    CodecContextHandle video_;
    CodecContextHandle audio_;
    AVStream* videoStream_ = nullptr;  // owned by output_
    AVStream* audioStream_ = nullptr;  // owned by output_
    PacketHandle packet_ = makePacket();
};

}  // namespace corvid
