#pragma once

#include <memory>
#include <string>

namespace corvid::bench {

// What the FFmpeg libraries alone need to do the work a player must do, used as the
// floor the player's own timings are measured against. Throws std::runtime_error when a
// file cannot be opened or decoded.
class AvFloor {
public:
    // Opens the file, finds its streams, opens the video decoder and decodes the first
    // picture; the file stays open for seeks.
    explicit AvFloor(const std::string& path);
    ~AvFloor();
    AvFloor(const AvFloor&) = delete;
    AvFloor& operator=(const AvFloor&) = delete;

    // Media time of the last picture decoded, in seconds.
    double pictureTime() const;
    double duration() const;

    // An accurate seek: to the key frame at or before `seconds`, then decode forward to
    // the first picture at or after it.
    void seek(double seconds);

private:
    struct State;
    std::unique_ptr<State> state_;
};

}  // namespace corvid::bench
