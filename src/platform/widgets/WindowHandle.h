#pragma once

#include <cstdint>

namespace corvid {

// A 32-bit window handle issued by WindowHandles; 0 means no window.
using WindowHandle = std::int32_t;

}  // namespace corvid
