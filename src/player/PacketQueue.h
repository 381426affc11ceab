#pragma once

#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <optional>

#include "player/AvHandles.h"

namespace corvid {

// One entry between the demuxer and a decoder. A Flush starts the packets of a new
// seek generation; End says the file has no more packets for this generation.
struct PacketItem {
    enum class Kind { Data, Flush, End };
    Kind kind = Kind::Data;
    int generation = 0;
    double target = 0;  // seek target of a Flush, media seconds
    PacketHandle packet;
};

// The packets waiting for one stream's decoder.
class PacketQueue {
public:
    // How long a decoder waits for a packet before it looks again. A stop aborts the queue
    // and a seek queues its flush, which end the wait at once: this only bounds it, and a
    // decoder at rest wakes seldom.
    static constexpr std::chrono::milliseconds kDecoderWait{500};

    void push(PacketItem item);
    // Drops everything queued and queues a Flush for the new generation.
    void flush(int generation, double target);
    // The next entry; nothing when `timeout` passed or the queue was aborted.
    std::optional<PacketItem> pop(std::chrono::milliseconds timeout);
    void abort();
    std::size_t count() const;
    std::size_t bytes() const;

private:
    mutable std::mutex mutex_;
    std::condition_variable ready_;
    std::deque<PacketItem> items_;
    std::size_t bytes_ = 0;
    bool aborted_ = false;
};

}  // namespace corvid
