#pragma once

#include <cstdint>

#include "platform/widgets/WindowHandle.h"

namespace corvid {

// The graph's video window. Geometry is in pixels of the owner's client area.
// Every call throws Failure when the graph has no video.
class IVideoWindow {
public:
    static constexpr std::int32_t kStyleVisible = 0x10000000;

    virtual ~IVideoWindow() = default;

    // Native picture size of the video.
    virtual std::int32_t get_Width() = 0;
    virtual std::int32_t get_Height() = 0;

    virtual void put_WindowStyle(std::int32_t style) = 0;
    // 0 means no owner: the video window stands as a window of its own.
    virtual void put_Owner(WindowHandle owner) = 0;
    virtual void put_Width(std::int32_t width) = 0;
    virtual void put_Height(std::int32_t height) = 0;
    virtual void put_Top(std::int32_t top) = 0;
    virtual void put_Left(std::int32_t left) = 0;
    // Mouse and keyboard input of the video window goes to this window instead.
    virtual void put_MessageDrain(WindowHandle drain) = 0;
    // 0 windowed, -1 full screen.
    virtual void put_FullScreenMode(std::int32_t mode) = 0;
    virtual std::int32_t get_FullScreenMode() = 0;
    virtual void SetWindowPosition(std::int32_t left, std::int32_t top, std::int32_t width,
                                   std::int32_t height) = 0;
    virtual void GetWindowPosition(std::int32_t& left, std::int32_t& top, std::int32_t& width,
                                   std::int32_t& height) = 0;
};

}  // namespace corvid
