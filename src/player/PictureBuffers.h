#pragma once

#include <QImage>
#include <QSize>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

namespace corvid {

// The buffers of the pictures one presenter shows, handed out again once the images over
// them are let go. A picture the size of a panel is larger than the allocator maps on its
// own (see AllocatorPolicy): without them every picture shown would be mapped, faulted in
// and unmapped again.
class PictureBuffers : public std::enable_shared_from_this<PictureBuffers> {
public:
    // Two shown and one being drawn at most.
    static constexpr std::size_t kSpare = 3;

    ~PictureBuffers();

    // An RGB32 image of that size over a buffer of `stride` bytes a line and a spare tail
    // of `tail` bytes; a null image when there is no memory. The buffer comes back here
    // when the last copy of the image goes, on any thread.
    QImage image(QSize size, int stride, int tail);

    // Buffers kept for the next pictures.
    std::size_t spare() const;

private:
    struct Lent;
    static void giveBack(void* lent);

    mutable std::mutex mutex_;
    std::size_t bytes_ = 0;  // the size of every buffer kept
    std::vector<std::uint8_t*> spare_;
};

}  // namespace corvid
