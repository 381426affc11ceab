#pragma once

#include <mutex>
#include <set>
#include <string>
#include <utility>

namespace corvid {

// Failures that tests make the workers of a playing file meet for good, as the libraries
// could: a decoder that refuses every packet (out of memory, a stream it cannot follow),
// a scaler that cannot be made for the pictures. The program injects none.
class InjectedFaults {
public:
    enum class Worker { VideoDecoder, AudioDecoder, Scaler };

    // From now on the worker fails for files whose path ends in `name`.
    void fail(Worker worker, const std::string& name);
    bool fails(Worker worker, const std::string& path) const;

private:
    mutable std::mutex mutex_;
    std::set<std::pair<Worker, std::string>> failing_;
};

}  // namespace corvid
