#pragma once

namespace corvid {

// Times are seconds.
class IMediaPosition {
public:
    virtual ~IMediaPosition() = default;

    virtual double get_Duration() = 0;
    virtual double get_CurrentPosition() = 0;
    // Accurate seek; once it returns the position reads as the target.
    virtual void put_CurrentPosition(double seconds) = 0;
    virtual double get_Rate() = 0;
    virtual void put_Rate(double rate) = 0;
};

}  // namespace corvid
