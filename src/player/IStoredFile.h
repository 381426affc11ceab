#pragma once

#include <cstdint>
#include <span>

namespace corvid {

// One file opened on a storage, read by position. Every call may block as long as the
// storage does (a network share that stopped answering, a disk pulled out); FileReader
// makes them on a thread of its own. Destroying it closes the file, which may block too.
class IStoredFile {
public:
    virtual ~IStoredFile() = default;

    // Reads up to `into.size()` bytes at `offset`: the count read, 0 at the end of the
    // file, or a negative error number (-errno).
    virtual int read(std::int64_t offset, std::span<std::uint8_t> into) = 0;
    // The file's size now, in bytes, or a negative error number.
    virtual std::int64_t size() = 0;
};

}  // namespace corvid
