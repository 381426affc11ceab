#pragma once

#include <cstdint>

namespace corvid {

class IMediaEvent {
public:
    // Event codes of WaitForCompletion.
    static constexpr std::int32_t kNone = 0;
    static constexpr std::int32_t kComplete = 1;
    static constexpr std::int32_t kUserAbort = 2;
    static constexpr std::int32_t kErrorAbort = 3;

    virtual ~IMediaEvent() = default;

    // Waits at most msTimeout for the end of the media or an error; kNone when neither came.
    virtual std::int32_t WaitForCompletion(std::int32_t msTimeout) = 0;
};

}  // namespace corvid
