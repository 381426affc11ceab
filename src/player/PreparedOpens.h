#pragma once

#include <chrono>
#include <deque>
#include <memory>
#include <mutex>
#include <string>

#include "player/MediaOpener.h"

namespace corvid {

// Files being opened ahead of the RenderFile that will want them, so that the two files
// of a pair open at the same time. A few are kept; an older one not taken is dropped.
class PreparedOpens {
public:
    void prepare(std::shared_ptr<IFileStorage> storage, const std::string& path,
                 std::chrono::milliseconds timeout);
    // The open started for `path`, or null when there is none.
    std::unique_ptr<MediaOpener> take(const std::string& path);
    // Whether taking the open of `path` and waiting on it would return at once: there is
    // none, or it finished or ran out of time. Waits for that until `until` at most.
    bool ready(const std::string& path, std::chrono::steady_clock::time_point until) const;

private:
    mutable std::mutex mutex_;
    std::deque<std::unique_ptr<MediaOpener>> opening_;
};

}  // namespace corvid
