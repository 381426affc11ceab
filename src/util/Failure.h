#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

namespace corvid {

// A call that could not do what was asked: a code that tells the kind of failure apart
// (negative, so that it never reads as a count or a position) and a message for the user.
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
