#include "player/PictureBuffers.h"

extern "C" {
#include <libavutil/mem.h>
}

namespace corvid {

struct PictureBuffers::Lent {
    std::shared_ptr<PictureBuffers> owner;
    std::uint8_t* buffer;
    std::size_t bytes;
};

PictureBuffers::~PictureBuffers() {
    for (std::uint8_t* buffer : spare_) av_free(buffer);
}

QImage PictureBuffers::image(QSize size, int stride, int tail) {
    const std::size_t bytes = static_cast<std::size_t>(stride) * size.height() + tail;
    std::uint8_t* buffer = nullptr;
    {
        std::lock_guard lock(mutex_);
        if (bytes != bytes_) {  // a new size: the old ones fit no more
            for (std::uint8_t* old : spare_) av_free(old);
            spare_.clear();
            bytes_ = bytes;
        }
        if (!spare_.empty()) {
            buffer = spare_.back();
            spare_.pop_back();
        }
    }
    if (buffer == nullptr) buffer = static_cast<std::uint8_t*>(av_malloc(bytes));
    if (buffer == nullptr) return {};
    auto* lent = new Lent{shared_from_this(), buffer, bytes};
    return QImage(buffer, size.width(), size.height(), stride, QImage::Format_RGB32, giveBack,
                  lent);
}

std::size_t PictureBuffers::spare() const {
    std::lock_guard lock(mutex_);
    return spare_.size();
}

void PictureBuffers::giveBack(void* lent) {
    const std::unique_ptr<Lent> back(static_cast<Lent*>(lent));
    PictureBuffers& owner = *back->owner;
    {
        std::lock_guard lock(owner.mutex_);
        if (back->bytes == owner.bytes_ && owner.spare_.size() < kSpare) {
            owner.spare_.push_back(back->buffer);
            return;
        }
    }
    av_free(back->buffer);
}

}  // namespace corvid
