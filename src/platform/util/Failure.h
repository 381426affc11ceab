#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

namespace corvid {

// A failing platform call. The code follows the media framework's convention of
// negative result codes so that callers can tell failures apart.
class Failure : public std::runtime_error {
public:
    enum Code : std::int32_t {
        Unspecified = -1,
        NotImplemented = -2,
        NoInterface = -3,
        InvalidArgument = -4,
        Overflow = -5,
        DivisionByZero = -6,
        CannotOpen = -7,
        NoVideo = -8,
        NotReady = -9,
        Timeout = -10,
        FileSystem = -12,
    };

    Failure(std::int32_t code, const std::string& message)
        : std::runtime_error(message), code_(code) {}

    std::int32_t code() const { return code_; }

private:
    std::int32_t code_;
};

}  // namespace corvid
