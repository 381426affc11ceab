#include "player/PlaybackFault.h"

namespace corvid {

PlaybackFault::PlaybackFault(std::function<void()> reported) : reported_(std::move(reported)) {}

void PlaybackFault::report(const std::string& what) {
    {
        std::lock_guard lock(mutex_);
        if (failure_) return;
        failure_ = what;
    }
    if (reported_) reported_();
}

std::optional<std::string> PlaybackFault::failure() const {
    std::lock_guard lock(mutex_);
    return failure_;
}

}  // namespace corvid
