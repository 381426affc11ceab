#pragma once

namespace corvid {

// A source of time in seconds that never goes back.
class IClock {
public:
    virtual ~IClock() = default;
    virtual double now() const = 0;
};

}  // namespace corvid
