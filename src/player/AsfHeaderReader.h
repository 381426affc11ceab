#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>

namespace corvid {

// Reads what the FFmpeg libraries keep to themselves in an ASF header's File Properties
// object: the moment the recorder created the file, and whether the recorder finished it. The
// bytes come from files of unknown origin, so every offset and size is checked before it is
// used.
class AsfHeaderReader {
public:
    using TimePoint = std::chrono::system_clock::time_point;

    struct FileProperties {
        // Nothing when the date is zero or implausible (before 1990 or more than a day after
        // the time given as now).
        std::optional<TimePoint> created;
        // The file's size in bytes as its writer closed it.
        std::uint64_t size = 0;
        // A live stream's header: its size and durations do not hold.
        bool broadcast = true;
    };

    // At most this much of a file is read as its header; larger headers are refused.
    static constexpr std::size_t kMaxHeaderBytes = 4 * 1024 * 1024;

    // The properties in the header at the start of `bytes`, or nothing when the bytes are no
    // ASF header or the header is damaged.
    static std::optional<FileProperties> fileProperties(std::span<const std::uint8_t> bytes,
                                                        TimePoint now);
    // The creation date alone.
    static std::optional<TimePoint> creationTime(std::span<const std::uint8_t> bytes,
                                                 TimePoint now);

    // Reads up to `into.size()` bytes at `offset` of a file: the count read, fewer at its
    // end or when it cannot be read.
    using ReadAt = std::function<std::size_t(std::uint64_t offset, std::span<std::uint8_t> into)>;

    // The same for the file that `read` reads: only its header is read.
    static std::optional<FileProperties> fileProperties(const ReadAt& read, TimePoint now);

    // The creation date in a file's header; nothing when it cannot be read.
    static std::optional<TimePoint> creationTime(const std::string& path);
};

}  // namespace corvid
