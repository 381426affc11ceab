#pragma once

#include <mutex>
#include <vector>

namespace corvid {

// A bounded ring of interleaved float samples between a writer and a device reader.
class AudioRing {
public:
    explicit AudioRing(std::size_t capacitySamples) : buffer_(capacitySamples) {}

    std::size_t space() const;
    std::size_t size() const;
    void write(const float* samples, std::size_t count);
    // Reads up to `count` samples; returns how many.
    std::size_t read(float* samples, std::size_t count);
    void clear();

private:
    mutable std::mutex mutex_;
    std::vector<float> buffer_;
    std::size_t head_ = 0;  // next read
    std::size_t size_ = 0;
};

}  // namespace corvid
