#include "player/FileReader.h"

#include <algorithm>
#include <condition_variable>
#include <cstring>
#include <exception>
#include <system_error>
#include <thread>
#include <vector>

#include "player/ThreadName.h"
#include "util/Failure.h"

namespace corvid {

namespace {

// The most one call reads: a longer read is answered in part, as reads may be.
constexpr int kLargestRead = 1024 * 1024;

}  // namespace

struct FileReader::Channel {
    std::mutex mutex;
    std::condition_variable changed;
    bool opening = true;
    std::string refusal;  // why the storage refused the file; empty when it is open
    // The call asked for last; answered once `served` reaches `asked`.
    bool read = false;
    std::int64_t offset = 0;
    int length = 0;
    int asked = 0;
    int served = 0;
    std::int64_t answer = 0;
    // Written by the reading thread only while a call is asked and not served.
    std::vector<std::uint8_t> bytes;
    bool abandoned = false;
};

namespace {

std::unique_ptr<IStoredFile> openFile(IFileStorage& storage, const std::string& path,
                                      IFileStorage::Use use, std::string& refusal) {
    try {
        return storage.open(path, use);
    } catch (const std::exception& failure) {
        refusal = failure.what();
    }
    return nullptr;
}

std::int64_t answer(IStoredFile& file, FileReader::Channel& channel, bool read, std::int64_t offset,
                    int length) {
    try {
        if (!read) return file.size();
        channel.bytes.resize(static_cast<std::size_t>(length));
        return file.read(offset, channel.bytes);
    } catch (const std::exception&) {
        return -EIO;
    }
}

// The reading thread: opens the file, answers calls until the reader goes, closes it.
void serve(std::shared_ptr<FileReader::Channel> channel, std::shared_ptr<IFileStorage> storage,
           std::string path, IFileStorage::Use use) {
    nameThisThread("corvid-read");
    std::string refusal;
    std::unique_ptr<IStoredFile> file = openFile(*storage, path, use, refusal);
    if (!file && refusal.empty()) refusal = "Cannot open " + path;
    std::unique_lock lock(channel->mutex);
    channel->opening = false;
    channel->refusal = refusal;
    channel->changed.notify_all();
    while (file) {
        channel->changed.wait(
            lock, [&] { return channel->abandoned || channel->asked != channel->served; });
        if (channel->abandoned) break;
        const bool read = channel->read;
        const std::int64_t offset = channel->offset;
        const int length = channel->length;
        lock.unlock();
        const std::int64_t result = answer(*file, *channel, read, offset, length);
        lock.lock();
        channel->answer = result;
        channel->served = channel->asked;
        channel->changed.notify_all();
    }
    lock.unlock();
    file.reset();  // closing may block as reading does
}

}  // namespace

FileReader::FileReader(std::shared_ptr<IFileStorage> storage, const std::string& path,
                       IFileStorage::Use use)
    : channel_(std::make_shared<Channel>()) {
    try {
        // Detached, not joined: a thread blocked in the kernel cannot be joined by anyone.
        std::thread(serve, channel_, std::move(storage), path, use).detach();
    } catch (const std::system_error&) {
        throw Failure(Failure::CannotOpen, "No thread to read " + path);
    }
}

FileReader::~FileReader() {
    {
        std::lock_guard lock(channel_->mutex);
        channel_->abandoned = true;
    }
    channel_->changed.notify_all();
}

template <typename Done>
bool FileReader::waitFor(std::unique_lock<std::mutex>& lock, Done done) {
    using Clock = std::chrono::steady_clock;
    const Clock::time_point started = Clock::now();
    while (!done()) {
        if (gaveUp_ != GaveUp::No) return false;
        if (interrupted_) {
            gaveUp_ = GaveUp::Interrupted;
            return false;
        }
        const bool stallLimited = stallLimit_.count() > 0;
        const Clock::time_point stallsAt = started + stallLimit_;
        const Clock::time_point now = Clock::now();
        if (deadline_ != Clock::time_point{} && now >= deadline_) {
            gaveUp_ = GaveUp::Expired;
            return false;
        }
        if (stallLimited && now >= stallsAt) {
            gaveUp_ = GaveUp::Stalled;
            return false;
        }
        Clock::time_point until = Clock::time_point::max();
        if (deadline_ != Clock::time_point{}) until = deadline_;
        if (stallLimited) until = std::min(until, stallsAt);
        if (until == Clock::time_point::max()) {
            channel_->changed.wait(lock);
        } else {
            channel_->changed.wait_until(lock, until);
        }
    }
    return true;
}

void FileReader::waitUntilOpen() {
    std::unique_lock lock(channel_->mutex);
    if (!waitFor(lock, [this] { return !channel_->opening; }))
        throw Failure(Failure::Timeout, "The file did not answer in time");
    if (!channel_->refusal.empty()) throw Failure(Failure::CannotOpen, channel_->refusal);
}

std::int64_t FileReader::call(bool read, std::int64_t offset, std::uint8_t* into, int size) {
    std::unique_lock lock(channel_->mutex);
    const auto givenUp = [this] {
        return gaveUp_ == GaveUp::Stalled ? std::int64_t{kStalled} : std::int64_t{kInterrupted};
    };
    if (!waitFor(lock, [this] { return !channel_->opening; })) return givenUp();
    if (!channel_->refusal.empty()) return -EIO;
    channel_->read = read;
    channel_->offset = offset;
    channel_->length = std::clamp(size, 0, kLargestRead);
    const int asked = ++channel_->asked;
    channel_->changed.notify_all();
    if (!waitFor(lock, [&] { return channel_->served == asked; })) return givenUp();
    const std::int64_t answer = channel_->answer;
    if (read && answer > 0)
        std::memcpy(into, channel_->bytes.data(), static_cast<std::size_t>(answer));
    return answer;
}

int FileReader::read(std::int64_t offset, std::uint8_t* into, int size) {
    return static_cast<int>(call(true, offset, into, size));
}

std::int64_t FileReader::size() {
    return call(false, 0, nullptr, 0);
}

void FileReader::interrupt() {
    {
        std::lock_guard lock(channel_->mutex);
        interrupted_ = true;
    }
    channel_->changed.notify_all();
}

void FileReader::setDeadline(std::chrono::steady_clock::time_point deadline) {
    {
        std::lock_guard lock(channel_->mutex);
        deadline_ = deadline;
    }
    channel_->changed.notify_all();
}

void FileReader::setStallLimit(std::chrono::milliseconds limit) {
    {
        std::lock_guard lock(channel_->mutex);
        stallLimit_ = limit;
    }
    channel_->changed.notify_all();
}

bool FileReader::stalled() const {
    std::lock_guard lock(channel_->mutex);
    return gaveUp_ == GaveUp::Stalled;
}

}  // namespace corvid
