#pragma once

#include <atomic>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <optional>

#include "player/AvHandles.h"

namespace corvid {

// A decoded picture on its way to the screen; `end` marks the last of a generation.
struct VideoFrame {
    FrameHandle frame;
    double time = 0;  // media seconds
    int generation = 0;
    bool end = false;
};

// The few decoded pictures kept ahead of the clock. Its reader works in one seek generation
// at a time and never sees, nor takes, the pictures of a newer one: a seek may begin and
// its first picture arrive between the reader's look at the generation and its look here.
class FrameQueue {
public:
    explicit FrameQueue(std::size_t capacity) : capacity_(capacity) {}

    // Waits for room; gives up (false) when the queue was aborted or `current` moved
    // away from the frame's generation (a newer seek made it useless).
    bool push(VideoFrame frame, const std::atomic<int>& current);
    // Throws away the frames of generations before `generation`.
    void dropOlder(int generation);
    // The time of the first frame when it belongs to `generation`, or nothing; `end` tells
    // an end marker.
    std::optional<double> frontTime(int generation, bool& end) const;
    // The first frame when it belongs to `generation`.
    std::optional<VideoFrame> pop(int generation);
    // The frames waiting, of any generation.
    std::size_t size() const;
    // Wakes a waiting push so it can see a new generation or the abort.
    void wake();
    void abort();

private:
    mutable std::mutex mutex_;
    std::condition_variable room_;
    std::deque<VideoFrame> frames_;
    std::size_t capacity_;
    bool aborted_ = false;
};

}  // namespace corvid
