#include "player/MediaOpener.h"

#include <condition_variable>
#include <exception>
#include <mutex>
#include <optional>
#include <system_error>
#include <thread>

#include "player/ThreadName.h"
#include "util/Failure.h"

namespace corvid {

// What the caller and the opening thread share; the last of them to let go frees it.
struct MediaOpener::Attempt {
    std::mutex mutex;
    std::condition_variable finished;
    bool done = false;
    bool abandoned = false;
    std::optional<MediaOpener::Opened> opened;
    std::exception_ptr error;
};

namespace {

void openInto(const std::shared_ptr<MediaOpener::Attempt>& attempt,
              const std::shared_ptr<IFileStorage>& storage, const std::string& path,
              std::chrono::milliseconds timeout) {
    nameThisThread("corvid-open");
    std::optional<MediaOpener::Opened> opened;
    std::exception_ptr error;
    try {
        MediaOpener::Opened result;
        result.source = std::make_unique<MediaSource>(storage, path, timeout);
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

MediaOpener::MediaOpener(std::shared_ptr<IFileStorage> storage, const std::string& path,
                         std::chrono::milliseconds timeout)
    : path_(path),
      deadline_(std::chrono::steady_clock::now() + timeout),
      attempt_(std::make_shared<Attempt>()) {
    try {
        // Detached, not joined: the open goes on past the time limit until its reads give
        // up. It owns all it opens (see openInto).
        std::thread(openInto, attempt_, std::move(storage), path, timeout).detach();
    } catch (const std::system_error&) {
        throw Failure(Failure::CannotOpen, "No thread to open " + path);
    }
}

MediaOpener::~MediaOpener() {
    std::lock_guard lock(attempt_->mutex);
    attempt_->abandoned = true;
}

MediaOpener::Opened MediaOpener::wait() {
    std::unique_lock lock(attempt_->mutex);
    if (!attempt_->finished.wait_until(lock, deadline_, [&] { return attempt_->done; }))
        throw Failure(Failure::Timeout, "The file did not answer in time: " + path_);
    if (attempt_->error) std::rethrow_exception(attempt_->error);
    if (!attempt_->opened) throw Failure(Failure::Unspecified, "The file was opened once already");
    Opened opened = std::move(*attempt_->opened);
    attempt_->opened.reset();
    return opened;
}

bool MediaOpener::ready(std::chrono::steady_clock::time_point until) const {
    std::unique_lock lock(attempt_->mutex);
    attempt_->finished.wait_until(lock, std::min(until, deadline_), [&] { return attempt_->done; });
    return attempt_->done || std::chrono::steady_clock::now() >= deadline_;
}

MediaOpener::Opened MediaOpener::open(std::shared_ptr<IFileStorage> storage,
                                      const std::string& path, std::chrono::milliseconds timeout) {
    return MediaOpener(std::move(storage), path, timeout).wait();
}

}  // namespace corvid
