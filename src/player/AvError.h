#pragma once

#include <string>

extern "C" {
#include <libavutil/error.h>
}

#include "util/Failure.h"

namespace corvid {

// Ends a set-up step whose FFmpeg call failed: the failure names what stopped, the step and
// FFmpeg's reason.
inline void throwOnAvError(int result, const char* what, const std::string& step) {
    if (result >= 0) return;
    char reason[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(result, reason, sizeof reason);
    throw Failure(Failure::Unspecified, std::string(what) + ": " + step + ": " + reason);
}

}  // namespace corvid
