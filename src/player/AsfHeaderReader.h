#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
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

    // The same for a file; nothing when it cannot be read.
    static std::optional<TimePoint> creationTime(const std::string& path);
};

}  // namespace corvid
