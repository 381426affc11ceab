#pragma once

#include <functional>
#include <mutex>
#include <optional>
#include <string>

namespace corvid {

// The failure that ended playback part-way (a read error, a file cut short while it
// plays, a decoder out of memory), left here by the worker thread that met it: workers
// have no caller to throw to. The first report counts; the graph passes it on.
class PlaybackFault {
public:
    // `reported` is called on the reporting thread, once, after the first report.
    explicit PlaybackFault(std::function<void()> reported = {});

    void report(const std::string& what);
    // What failed; empty while nothing has.
    std::optional<std::string> failure() const;

private:
    mutable std::mutex mutex_;
    std::optional<std::string> failure_;
    std::function<void()> reported_;
};

}  // namespace corvid
