#include "player/FrameQueue.h"

#include <algorithm>
#include <utility>

namespace corvid {

bool FrameQueue::push(VideoFrame frame, const std::atomic<int>& current) {
    std::unique_lock lock(mutex_);
    room_.wait(lock, [&] {
        return aborted_ || frames_.size() < capacity_ || current.load() != frame.generation;
    });
    if (aborted_ || current.load() != frame.generation) return false;
    frames_.push_back(std::move(frame));
    return true;
}

void FrameQueue::dropOlder(int generation) {
    {
        std::lock_guard lock(mutex_);
        // Called at every look of the presenter: a wake for nothing costs the decoder a switch.
        if (std::erase_if(frames_,
                          [&](const VideoFrame& f) { return f.generation < generation; }) == 0)
            return;
    }
    room_.notify_all();
}

std::optional<double> FrameQueue::frontTime(int generation, bool& end) const {
    std::lock_guard lock(mutex_);
    if (frames_.empty() || frames_.front().generation != generation) return std::nullopt;
    end = frames_.front().end;
    return frames_.front().time;
}

std::size_t FrameQueue::size() const {
    std::lock_guard lock(mutex_);
    return frames_.size();
}

std::optional<VideoFrame> FrameQueue::pop(int generation) {
    std::optional<VideoFrame> frame;
    {
        std::lock_guard lock(mutex_);
        if (frames_.empty() || frames_.front().generation != generation) return std::nullopt;
        frame = std::move(frames_.front());
        frames_.pop_front();
    }
    room_.notify_all();
    return frame;
}

void FrameQueue::wake() {
    { std::lock_guard lock(mutex_); }  // a pusher between its check and its wait sees the change
    room_.notify_all();
}

void FrameQueue::abort() {
    {
        std::lock_guard lock(mutex_);
        aborted_ = true;
    }
    room_.notify_all();
}

}  // namespace corvid
