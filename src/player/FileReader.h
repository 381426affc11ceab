#pragma once

#include <cerrno>
#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "player/IFileStorage.h"

namespace corvid {

// Reads one file of a storage so that its reader can always walk away. Storage that stops
// answering (a network share gone, a disk pulled out) blocks a call in the kernel beyond
// any interrupt, so every call on the file (open, reads, size, close) is made on a thread
// of the reader's own; the caller waits for the answer until it is interrupted, its
// deadline passes or one call outlasts the stall limit. From then on the reader has given
// up: every call fails at once. The thread is detached and owns the file and the bytes it
// reads: whenever the storage answers again it closes the file, frees them and ends.
//
// Calls come from one thread at a time; interrupt() and the limits from any.
class FileReader {
public:
    // Errors of a reader that gave up, besides those of the storage (negative errno).
    static constexpr int kInterrupted = -ECANCELED;
    static constexpr int kStalled = -ETIMEDOUT;

    // Starts opening the file; throws Failure(CannotOpen) when no thread can be made.
    FileReader(std::shared_ptr<IFileStorage> storage, const std::string& path,
               IFileStorage::Use use);
    // Leaves the file to the reader's thread, which closes it once the storage answers.
    ~FileReader();
    FileReader(const FileReader&) = delete;
    FileReader& operator=(const FileReader&) = delete;

    // Waits for the open. Throws Failure(CannotOpen) when the storage refused the file,
    // Failure(Timeout) when the reader gave up first.
    void waitUntilOpen();
    // Reads up to `size` bytes at `offset` into `into`: the count read, 0 at the end of
    // the file, or a negative error number (kInterrupted, kStalled, the storage's).
    int read(std::int64_t offset, std::uint8_t* into, int size);
    // The file's size in bytes, or a negative error number.
    std::int64_t size();

    // Gives up at once, also on a call in progress (teardown).
    void interrupt();
    // Gives up on any call still waiting at `deadline`; a default time point lifts it.
    void setDeadline(std::chrono::steady_clock::time_point deadline);
    // Gives up on a call that takes longer than `limit`; zero lifts it.
    void setStallLimit(std::chrono::milliseconds limit);
    // Whether the reader gave up because a call outlasted the stall limit.
    bool stalled() const;

    // What the caller and the reading thread share.
    struct Channel;

private:
    enum class GaveUp { No, Interrupted, Expired, Stalled };

    // Asks the reading thread and waits for its answer, or gives up.
    std::int64_t call(bool read, std::int64_t offset, std::uint8_t* into, int size);
    template <typename Done>
    bool waitFor(std::unique_lock<std::mutex>& lock, Done done);

    std::shared_ptr<Channel> channel_;
    // Under the channel's lock.
    GaveUp gaveUp_ = GaveUp::No;
    bool interrupted_ = false;
    std::chrono::steady_clock::time_point deadline_{};
    std::chrono::milliseconds stallLimit_{0};
};

}  // namespace corvid
