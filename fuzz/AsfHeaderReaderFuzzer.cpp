// libFuzzer entry point for the ASF header reader: any bytes, never a crash, a read out of
// bounds or undefined behaviour, and a date only within the plausible range.
#include <chrono>
#include <cstdlib>

#include "player/AsfHeaderReader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace std::chrono;
    // A fixed "now", so that a finding reproduces on any day.
    const system_clock::time_point now{seconds(1700000000)};
    const auto created = corvid::AsfHeaderReader::creationTime({data, size}, now);
    if (created &&
        (*created > now + hours(24) || *created < system_clock::time_point{seconds(631152000)}))
        std::abort();
    return 0;
}
