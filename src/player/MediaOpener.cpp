#include "player/MediaOpener.h"

#include <condition_variable>
#include <exception>
#include <mutex>
#include <optional>
#include <system_error>
#include <thread>

#include "platform/util/Failure.h"

namespace corvid {

namespace {

// What the caller and the opening thread share; the last of them to let go frees it.
struct Attempt {
    std::mutex mutex;
    std::condition_variable finished;
    bool done = false;
    bool abandoned = false;
    std::optional<MediaOpener::Opened> opened;
    std::exception_ptr error;
};

void openInto(const std::shared_ptr<Attempt>& attempt, const std::string& path,
              std::chrono::milliseconds timeout, const MediaSource::ReadGate& gate) {
    std::optional<MediaOpener::Opened> opened;
    std::exception_ptr error;
    try {
        MediaOpener::Opened result;
        result.source = std::make_unique<MediaSource>(path, timeout, gate);
        result.firstPicture = result.source->decodeFirstPicture(result.audioAhead);
        result.source->finishOpening();
        opened = std::move(result);
    } catch (...) {
        error = std::current_exception();
    }
    std::unique_lock lock(attempt->mutex);
    attempt->done = true;
    if (attempt->abandoned) return;  // nobody waits: what was opened is freed here
    attempt->opened = std::move(opened);
    attempt->error = error;
    attempt->finished.notify_all();
}

}  // namespace

MediaOpener::Opened MediaOpener::open(const std::string& path, std::chrono::milliseconds timeout,
                                      MediaSource::ReadGate gate) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    auto attempt = std::make_shared<Attempt>();
    try {
        // Detached, not joined: a thread blocked in the kernel by storage that stopped
        // answering cannot be joined by anyone. It owns all it opens (see openInto).
        std::thread(openInto, attempt, path, timeout, std::move(gate)).detach();
    } catch (const std::system_error&) {
        throw Failure(Failure::CannotOpen, "No thread to open " + path);
    }
    std::unique_lock lock(attempt->mutex);
    if (!attempt->finished.wait_until(lock, deadline, [&] { return attempt->done; })) {
        attempt->abandoned = true;
        throw Failure(Failure::Timeout, "The file did not answer in time: " + path);
    }
    if (attempt->error) std::rethrow_exception(attempt->error);
    return std::move(*attempt->opened);
}

}  // namespace corvid
