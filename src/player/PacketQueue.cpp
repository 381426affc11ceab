#include "player/PacketQueue.h"

#include <utility>

namespace corvid {

void PacketQueue::push(PacketItem item) {
    {
        std::lock_guard lock(mutex_);
        if (item.packet) bytes_ += static_cast<std::size_t>(item.packet->size);
        items_.push_back(std::move(item));
    }
    ready_.notify_one();
}

void PacketQueue::flush(int generation, double target) {
    {
        std::lock_guard lock(mutex_);
        items_.clear();
        bytes_ = 0;
        PacketItem marker;
        marker.kind = PacketItem::Kind::Flush;
        marker.generation = generation;
        marker.target = target;
        items_.push_back(std::move(marker));
    }
    ready_.notify_one();
}

std::optional<PacketItem> PacketQueue::pop(std::chrono::milliseconds timeout) {
    std::unique_lock lock(mutex_);
    if (!ready_.wait_for(lock, timeout, [this] { return aborted_ || !items_.empty(); }))
        return std::nullopt;
    if (aborted_) return std::nullopt;
    PacketItem item = std::move(items_.front());
    items_.pop_front();
    if (item.packet) bytes_ -= static_cast<std::size_t>(item.packet->size);
    return item;
}

void PacketQueue::abort() {
    {
        std::lock_guard lock(mutex_);
        aborted_ = true;
    }
    ready_.notify_all();
}

std::size_t PacketQueue::count() const {
    std::lock_guard lock(mutex_);
    return items_.size();
}

std::size_t PacketQueue::bytes() const {
    std::lock_guard lock(mutex_);
    return bytes_;
}

}  // namespace corvid
