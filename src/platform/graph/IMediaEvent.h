#pragma once

#include <cstdint>
#include <string>

#include "platform/widgets/WindowHandle.h"

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
    // Once playback has failed part-way (a read error, a file cut short while it plays) it
    // answers kErrorAbort at once, from then on.
    virtual std::int32_t WaitForCompletion(std::int32_t msTimeout) = 0;
    // What failed, after kErrorAbort; empty before.
    virtual std::string GetErrorText() = 0;
    // The window that is sent a GraphNotice, on its own thread, when playback fails
    // part-way, so that its owner need not poll; 0 for none.
    virtual void SetNotifyWindow(WindowHandle window) = 0;
};

}  // namespace corvid
