#include "player/Mp4Writer.h"

#include <cmath>

extern "C" {
#include <libavutil/channel_layout.h>
#include <libavutil/opt.h>
}

#include "util/Failure.h"

namespace corvid {

namespace {

// Plates and faces stay legible at this quality; the speed setting keeps an export of a
// pair faster than real time on a small machine.
constexpr const char* kQuality = "20";
constexpr const char* kSpeed = "veryfast";
constexpr double kKeyFrameSeconds = 2.0;

std::string errorText(int code) {
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(code, text, sizeof text);
    return text;
}

}  // namespace

int Mp4Writer::interruptCallback(void* opaque) {
    return static_cast<const Mp4Writer*>(opaque)->cancelled_.load() ? 1 : 0;
}

void Mp4Writer::failed(int result) const {
    throw Failure(Failure::FileSystem, "Cannot write " + shownName_ + ": " + errorText(result));
}

Mp4Writer::Mp4Writer(const std::string& path, const std::string& shownName,
                     const Pictures& pictures, const std::optional<Sound>& sound,
                     const std::string& creationTime, const std::atomic<bool>& cancelled)
    : shownName_(shownName), cancelled_(cancelled) {
    // A file, whatever its name looks like: never a protocol. The index is moved to the
    // front by reading the file again under the same name.
    const std::string url = "file:" + path;
    AVFormatContext* raw = nullptr;
    if (avformat_alloc_output_context2(&raw, nullptr, "mp4", url.c_str()) < 0 || raw == nullptr)
        throw Failure(Failure::Unspecified, "The MP4 writer is not available");
    output_.reset(raw);
    raw->interrupt_callback = {&Mp4Writer::interruptCallback, this};
    raw->protocol_whitelist = av_strdup("file");
    if (!creationTime.empty())
        av_dict_set(&raw->metadata, "creation_time", creationTime.c_str(), 0);

    AVDictionary* videoOptions = nullptr;
    av_dict_set(&videoOptions, "preset", kSpeed, 0);
    av_dict_set(&videoOptions, "crf", kQuality, 0);
    const AVCodec* h264 = avcodec_find_encoder_by_name("libx264");
    if (h264 == nullptr) {
        av_dict_free(&videoOptions);
        throw Failure(Failure::Unspecified, "The H.264 encoder (libx264) is not available");
    }
    video_.reset(avcodec_alloc_context3(h264));
    if (!video_) throw Failure(Failure::Unspecified, "Out of memory writing " + shownName_);
    video_->width = pictures.width;
    video_->height = pictures.height;
    video_->pix_fmt = AV_PIX_FMT_YUV420P;
    video_->sample_aspect_ratio = {1, 1};
    video_->framerate = pictures.rate;
    video_->time_base = av_inv_q(pictures.rate);
    video_->gop_size =
        std::max(1, static_cast<int>(std::lround(av_q2d(pictures.rate) * kKeyFrameSeconds)));
    video_->thread_count = 0;  // every core
    openEncoder(video_, videoStream_, "H.264", &videoOptions);

    if (sound) {
        const AVCodec* aac = avcodec_find_encoder(AV_CODEC_ID_AAC);
        if (aac == nullptr) throw Failure(Failure::Unspecified, "The AAC encoder is not available");
        audio_.reset(avcodec_alloc_context3(aac));
        if (!audio_) throw Failure(Failure::Unspecified, "Out of memory writing " + shownName_);
        audio_->sample_fmt = AV_SAMPLE_FMT_FLTP;
        audio_->sample_rate = sound->sampleRate;
        av_channel_layout_default(&audio_->ch_layout, sound->channels >= 2 ? 2 : 1);
        audio_->bit_rate = sound->channels >= 2 ? 128000 : 64000;
        audio_->time_base = {1, sound->sampleRate};
        AVDictionary* none = nullptr;
        openEncoder(audio_, audioStream_, "AAC", &none);
    }

    AVDictionary* options = nullptr;
    av_dict_set(&options, "protocol_whitelist", "file", 0);
    int result =
        avio_open2(&raw->pb, url.c_str(), AVIO_FLAG_WRITE, &raw->interrupt_callback, &options);
    av_dict_free(&options);
    if (result < 0) failed(result);
    av_dict_set(&options, "movflags", "+faststart", 0);
    result = avformat_write_header(raw, &options);
    av_dict_free(&options);
    if (result < 0) failed(result);
}

void Mp4Writer::openEncoder(CodecContextHandle& codec, AVStream*& stream, const char* name,
                            AVDictionary** options) {
    if (output_->oformat->flags & AVFMT_GLOBALHEADER) codec->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    const int opened = avcodec_open2(codec.get(), codec->codec, options);
    av_dict_free(options);
    if (opened < 0)
        throw Failure(
            Failure::Unspecified,
            std::string("The ") + name + " encoder refused the export: " + errorText(opened));
    stream = avformat_new_stream(output_.get(), nullptr);
    if (stream == nullptr || avcodec_parameters_from_context(stream->codecpar, codec.get()) < 0)
        throw Failure(Failure::Unspecified, "Out of memory writing " + shownName_);
    stream->time_base = codec->time_base;
}

int Mp4Writer::soundFrameSize() const {
    return audio_ && audio_->frame_size > 0 ? audio_->frame_size : 1024;
}

int Mp4Writer::soundRate() const {
    return audio_ ? audio_->sample_rate : 0;
}

const AVChannelLayout& Mp4Writer::soundLayout() const {
    return audio_->ch_layout;
}

void Mp4Writer::writePicture(AVFrame& picture) {
    encode(video_.get(), videoStream_, &picture);
}

void Mp4Writer::writeSound(AVFrame& samples) {
    if (audio_) encode(audio_.get(), audioStream_, &samples);
}

void Mp4Writer::encode(AVCodecContext* codec, AVStream* stream, AVFrame* frame) {
    int result = avcodec_send_frame(codec, frame);
    if (result < 0 && result != AVERROR_EOF)
        throw Failure(Failure::Unspecified, "The encoder refused a picture: " + errorText(result));
    for (;;) {
        result = avcodec_receive_packet(codec, packet_.get());
        if (result == AVERROR(EAGAIN) || result == AVERROR_EOF) break;
        if (result < 0)
            throw Failure(Failure::Unspecified, "The encoder failed: " + errorText(result));
        av_packet_rescale_ts(packet_.get(), codec->time_base, stream->time_base);
        packet_->stream_index = stream->index;
        result = av_interleaved_write_frame(output_.get(), packet_.get());
        if (result >= 0 && output_->pb->error < 0) result = output_->pb->error;
        if (result < 0) failed(result);
    }
}

void Mp4Writer::finish() {
    encode(video_.get(), videoStream_, nullptr);
    if (audio_) encode(audio_.get(), audioStream_, nullptr);
    int result = av_write_trailer(output_.get());
    if (result >= 0 && output_->pb->error < 0) result = output_->pb->error;
    const int closed = avio_closep(&output_->pb);
    if (result >= 0) result = closed;
    if (result < 0) failed(result);
}

}  // namespace corvid
