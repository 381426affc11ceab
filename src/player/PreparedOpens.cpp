#include "player/PreparedOpens.h"

#include <algorithm>

#include "player/PlayerLog.h"
#include "util/Failure.h"

namespace corvid {

namespace {

// A pair's second file, and one more for a quick change of recording.
constexpr std::size_t kKept = 2;

}  // namespace

void PreparedOpens::prepare(std::shared_ptr<IFileStorage> storage, const std::string& path,
                            std::chrono::milliseconds timeout) {
    {
        // An open of the file still under way is the one wanted; one that ended (a load
        // given up before it took it) is stale: the file may have changed since.
        std::lock_guard lock(mutex_);
        const auto found = std::find_if(opening_.begin(), opening_.end(),
                                        [&](const auto& opener) { return opener->path() == path; });
        if (found != opening_.end() && !(*found)->ready({})) return;
        if (found != opening_.end()) opening_.erase(found);
    }
    std::unique_ptr<MediaOpener> opener;
    try {
        opener = std::make_unique<MediaOpener>(std::move(storage), path, timeout);
    } catch (const Failure&) {
        return;  // RenderFile opens it itself, and says what fails
    }
    qCDebug(lcPlayer) << "opening ahead" << path.c_str();
    std::lock_guard lock(mutex_);
    opening_.push_back(std::move(opener));
    if (opening_.size() > kKept) opening_.pop_front();
}

bool PreparedOpens::ready(const std::string& path,
                          std::chrono::steady_clock::time_point until) const {
    std::lock_guard lock(mutex_);
    const auto found = std::find_if(opening_.begin(), opening_.end(),
                                    [&](const auto& opener) { return opener->path() == path; });
    return found == opening_.end() || (*found)->ready(until);
}

std::unique_ptr<MediaOpener> PreparedOpens::take(const std::string& path) {
    std::lock_guard lock(mutex_);
    const auto found = std::find_if(opening_.begin(), opening_.end(),
                                    [&](const auto& opener) { return opener->path() == path; });
    if (found == opening_.end()) return nullptr;
    std::unique_ptr<MediaOpener> opener = std::move(*found);
    opening_.erase(found);
    return opener;
}

}  // namespace corvid
