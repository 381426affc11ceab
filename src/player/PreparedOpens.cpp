#include "player/PreparedOpens.h"

#include <algorithm>

#include "platform/util/Failure.h"
#include "player/PlayerLog.h"

namespace corvid {

namespace {

// A pair's second file, and one more for a quick change of recording.
constexpr std::size_t kKept = 2;

}  // namespace

void PreparedOpens::prepare(std::shared_ptr<IFileStorage> storage, const std::string& path,
                            std::chrono::milliseconds timeout) {
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
