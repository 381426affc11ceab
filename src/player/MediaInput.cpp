#include "player/MediaInput.h"

#include <cstdio>

#include "util/Failure.h"

namespace corvid {

namespace {

constexpr int kBufferSize = 64 * 1024;

}  // namespace

MediaInput::MediaInput(FileReader& reader) : reader_(reader) {
    auto* buffer = static_cast<std::uint8_t*>(av_malloc(kBufferSize));
    if (buffer != nullptr)
        context_ = avio_alloc_context(buffer, kBufferSize, 0, this, &MediaInput::readPacket,
                                      nullptr, &MediaInput::seek);
    if (context_ == nullptr) {
        av_free(buffer);
        throw Failure(Failure::CannotOpen, "Out of memory opening a file");
    }
}

MediaInput::~MediaInput() {
    // The libraries may have replaced the buffer given to them: theirs is freed.
    av_freep(&context_->buffer);
    avio_context_free(&context_);
}

int MediaInput::readPacket(void* opaque, std::uint8_t* buffer, int size) {
    auto* input = static_cast<MediaInput*>(opaque);
    const int read = input->reader_.read(input->position_, buffer, size);
    if (read == 0) return AVERROR_EOF;
    if (read == FileReader::kInterrupted) return AVERROR_EXIT;
    if (read < 0) return AVERROR(-read);
    input->position_ += read;
    return read;
}

std::int64_t MediaInput::seek(void* opaque, std::int64_t offset, int whence) {
    auto* input = static_cast<MediaInput*>(opaque);
    whence &= ~AVSEEK_FORCE;
    if (whence == AVSEEK_SIZE) return input->reader_.size();
    std::int64_t base = 0;
    if (whence == SEEK_CUR) {
        base = input->position_;
    } else if (whence == SEEK_END) {
        base = input->reader_.size();
        if (base < 0) return base;
    } else if (whence != SEEK_SET) {
        return AVERROR(EINVAL);
    }
    if (offset > INT64_MAX - base) return AVERROR(EINVAL);
    const std::int64_t position = base + offset;
    if (position < 0) return AVERROR(EINVAL);
    input->position_ = position;
    return position;
}

int MediaInput::refuseNestedOpen(AVFormatContext* /*format*/, AVIOContext** /*io*/,
                                 const char* /*url*/, int /*flags*/, AVDictionary** /*options*/) {
    return AVERROR(EPERM);
}

}  // namespace corvid
