#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>

namespace corvid {

// Reads what the FFmpeg libraries keep to themselves in an ASF header: the moment the
// recorder created the file (the File Properties object's creation date). The bytes come
// from files of unknown origin, so every offset and size is checked before it is used.
class AsfHeaderReader {
public:
    using TimePoint = std::chrono::system_clock::time_point;

    // At most this much of a file is read as its header; larger headers are refused.
    static constexpr std::size_t kMaxHeaderBytes = 4 * 1024 * 1024;

    // The creation date in the header at the start of `bytes`, or nothing when the bytes
    // are no ASF header, the header is damaged, or the date is zero or implausible
    // (before 1990 or more than a day after `now`).
    static std::optional<TimePoint> creationTime(std::span<const std::uint8_t> bytes,
                                                 TimePoint now);

    // Reads up to `into.size()` bytes at `offset` of a file: the count read, fewer at its
    // end or when it cannot be read.
    using ReadAt = std::function<std::size_t(std::uint64_t offset, std::span<std::uint8_t> into)>;

    // The same for the file that `read` reads: only its header is read.
    static std::optional<TimePoint> creationTime(const ReadAt& read, TimePoint now);

    // The same for a file; nothing when it cannot be read.
    static std::optional<TimePoint> creationTime(const std::string& path);
};

}  // namespace corvid
