#include "player/MemoryFileStorage.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "util/Failure.h"

namespace corvid {

namespace {

class MemoryFile : public IStoredFile {
public:
    explicit MemoryFile(MemoryFileStorage::Bytes bytes) : bytes_(std::move(bytes)) {}

    int read(std::int64_t offset, std::span<std::uint8_t> into) override {
        if (offset < 0) return -EINVAL;
        const auto size = static_cast<std::int64_t>(bytes_->size());
        if (offset >= size) return 0;
        const auto count = static_cast<std::size_t>(
            std::min<std::int64_t>(static_cast<std::int64_t>(into.size()), size - offset));
        std::memcpy(into.data(), bytes_->data() + offset, count);
        return static_cast<int>(count);
    }

    std::int64_t size() override { return static_cast<std::int64_t>(bytes_->size()); }

private:
    MemoryFileStorage::Bytes bytes_;
};

}  // namespace

void MemoryFileStorage::add(const std::string& path, Bytes bytes) {
    std::lock_guard lock(mutex_);
    files_[path] = std::move(bytes);
}

std::unique_ptr<IStoredFile> MemoryFileStorage::open(const std::string& path, Use /*use*/) {
    std::lock_guard lock(mutex_);
    const auto found = files_.find(path);
    if (found == files_.end()) throw Failure(Failure::CannotOpen, "Cannot open " + path);
    return std::make_unique<MemoryFile>(found->second);
}

}  // namespace corvid
