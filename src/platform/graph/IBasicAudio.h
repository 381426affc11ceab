#pragma once

#include <cstdint>

namespace corvid {

class IBasicAudio {
public:
    virtual ~IBasicAudio() = default;

    // Attenuation in 1/100 dB: -10000 (silence) .. 0 (full).
    virtual void put_Volume(std::int32_t volume) = 0;
    virtual std::int32_t get_Volume() = 0;
    // -10000 (left only) .. 0 (centre) .. 10000 (right only).
    virtual void put_Balance(std::int32_t balance) = 0;
    virtual std::int32_t get_Balance() = 0;
};

}  // namespace corvid
