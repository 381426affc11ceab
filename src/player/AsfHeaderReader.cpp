#include "player/AsfHeaderReader.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <fstream>
#include <vector>

namespace corvid {

namespace {

using Guid = std::array<std::uint8_t, 16>;

// GUIDs as they are stored: the first three fields little-endian.
constexpr Guid kHeaderObject = {0x30, 0x26, 0xB2, 0x75, 0x8E, 0x66, 0xCF, 0x11,
                                0xA6, 0xD9, 0x00, 0xAA, 0x00, 0x62, 0xCE, 0x6C};
constexpr Guid kFilePropertiesObject = {0xA1, 0xDC, 0xAB, 0x8C, 0x47, 0xA9, 0xCF, 0x11,
                                        0x8E, 0xE4, 0x00, 0xC0, 0x0C, 0x20, 0x53, 0x65};

// Object: GUID, 64-bit size (including these 24 bytes), contents.
constexpr std::size_t kObjectPreamble = 24;
// Header object: preamble, 32-bit object count, two reserved bytes, then its objects.
constexpr std::size_t kHeaderPreamble = kObjectPreamble + 4 + 2;
// File Properties: preamble, file GUID (16), file size (8), creation date (8), packet count,
// play and send durations and preroll (8 each), then 32 bits of flags.
constexpr std::size_t kFileSizeOffset = kObjectPreamble + 16;
constexpr std::size_t kCreationDateOffset = kFileSizeOffset + 8;
constexpr std::size_t kFlagsOffset = kCreationDateOffset + 8 * 5;
constexpr std::uint8_t kBroadcastFlag = 0x01;
// The fixed part of a File Properties object; a smaller one is damaged.
constexpr std::size_t kFilePropertiesSize = 104;

// FILETIME counts 100 ns since 1601-01-01 UTC; the Unix epoch is this many ticks later.
constexpr std::uint64_t kUnixEpochTicks = 116444736000000000ULL;
constexpr std::uint64_t kTicksPerSecond = 10000000ULL;
// 1990-01-01T00:00:00Z: no recorder wrote ASF files earlier; dates before it are unset
// fields (zero, or the Unix epoch some writers put there).
constexpr std::int64_t kEarliestUnixSeconds = 631152000;

std::uint64_t readLe64(const std::uint8_t* p) {
    std::uint64_t value = 0;
    for (int i = 7; i >= 0; --i) value = (value << 8) | p[i];
    return value;
}

bool isGuid(const std::uint8_t* p, const Guid& guid) {
    return std::memcmp(p, guid.data(), guid.size()) == 0;
}

std::optional<AsfHeaderReader::TimePoint> plausible(std::uint64_t ticks,
                                                    AsfHeaderReader::TimePoint now) {
    using namespace std::chrono;
    if (ticks < kUnixEpochTicks) return std::nullopt;
    const std::uint64_t sinceEpoch = ticks - kUnixEpochTicks;
    // Whole seconds first: the tick count of a garbage date overflows nanoseconds.
    const auto secondsPart = static_cast<std::int64_t>(sinceEpoch / kTicksPerSecond);
    const auto latest = duration_cast<seconds>((now + hours(24)).time_since_epoch()).count();
    if (secondsPart < kEarliestUnixSeconds || secondsPart > latest) return std::nullopt;
    const auto ticksPart = static_cast<std::int64_t>(sinceEpoch % kTicksPerSecond);
    return AsfHeaderReader::TimePoint(
        duration_cast<system_clock::duration>(seconds(secondsPart) + nanoseconds(ticksPart * 100)));
}

}  // namespace

std::optional<AsfHeaderReader::FileProperties> AsfHeaderReader::fileProperties(
    std::span<const std::uint8_t> bytes, TimePoint now) {
    if (bytes.size() < kHeaderPreamble || !isGuid(bytes.data(), kHeaderObject)) return std::nullopt;
    const std::uint64_t headerSize = readLe64(bytes.data() + 16);
    if (headerSize < kHeaderPreamble) return std::nullopt;
    // A header cut short by the end of the file is read as far as it goes.
    const std::size_t end =
        static_cast<std::size_t>(std::min<std::uint64_t>(headerSize, bytes.size()));
    std::size_t at = kHeaderPreamble;
    while (end - at >= kObjectPreamble) {
        const std::uint64_t size = readLe64(bytes.data() + at + 16);
        // An object smaller than its preamble or reaching past the header: nothing after
        // it can be found, so the search ends.
        if (size < kObjectPreamble || size > end - at) return std::nullopt;
        if (isGuid(bytes.data() + at, kFilePropertiesObject)) {
            if (size < kFilePropertiesSize) return std::nullopt;
            const std::uint8_t* object = bytes.data() + at;
            FileProperties properties;
            properties.created = plausible(readLe64(object + kCreationDateOffset), now);
            properties.size = readLe64(object + kFileSizeOffset);
            properties.broadcast = (object[kFlagsOffset] & kBroadcastFlag) != 0;
            return properties;
        }
        at += static_cast<std::size_t>(size);
    }
    return std::nullopt;
}

std::optional<AsfHeaderReader::TimePoint> AsfHeaderReader::creationTime(
    std::span<const std::uint8_t> bytes, TimePoint now) {
    const auto properties = fileProperties(bytes, now);
    return properties ? properties->created : std::nullopt;
}

std::optional<AsfHeaderReader::FileProperties> AsfHeaderReader::fileProperties(const ReadAt& read,
                                                                               TimePoint now) {
    std::vector<std::uint8_t> bytes(kHeaderPreamble);
    if (read(0, bytes) != bytes.size() || !isGuid(bytes.data(), kHeaderObject)) return std::nullopt;
    const std::uint64_t headerSize = readLe64(bytes.data() + 16);
    if (headerSize <= bytes.size() || headerSize > kMaxHeaderBytes) return std::nullopt;
    bytes.resize(static_cast<std::size_t>(headerSize));
    const std::size_t rest = read(kHeaderPreamble, std::span(bytes).subspan(kHeaderPreamble));
    bytes.resize(kHeaderPreamble + std::min(rest, bytes.size() - kHeaderPreamble));
    return fileProperties(bytes, now);
}

std::optional<AsfHeaderReader::TimePoint> AsfHeaderReader::creationTime(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    const ReadAt read = [&](std::uint64_t offset, std::span<std::uint8_t> into) -> std::size_t {
        if (!in.seekg(static_cast<std::streamoff>(offset))) return 0;
        in.read(reinterpret_cast<char*>(into.data()), static_cast<std::streamsize>(into.size()));
        return static_cast<std::size_t>(in.gcount());
    };
    const auto properties = fileProperties(read, std::chrono::system_clock::now());
    return properties ? properties->created : std::nullopt;
}

}  // namespace corvid
