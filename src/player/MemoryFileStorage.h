#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "player/IFileStorage.h"

namespace corvid {

// Files served from memory: recordings a fuzzer made up, or files a test holds.
class MemoryFileStorage : public IFileStorage {
public:
    using Bytes = std::shared_ptr<const std::vector<std::uint8_t>>;

    // Serves `bytes` as the file `path`, from the next open on.
    void add(const std::string& path, Bytes bytes);
    // Throws Failure(CannotOpen) for a path it does not serve.
    std::unique_ptr<IStoredFile> open(const std::string& path, Use use) override;

private:
    std::mutex mutex_;
    std::map<std::string, Bytes> files_;
};

}  // namespace corvid
