#pragma once

#include <functional>
#include <mutex>
#include <vector>

namespace corvid {

class ManualSoundOutput;

// The manual sound devices alive, so that a test can feed time to those that play.
class ManualSoundDevices {
public:
    void add(ManualSoundOutput* device);
    void remove(ManualSoundOutput* device);
    // Waits (at most `ms`) until every device that plays holds `seconds` of sound not yet
    // heard, so that moving the manual clock on by as much does not run it dry; false when
    // the time ran out (a stream at its end has no more to give).
    bool waitUntilFed(double seconds, int ms = 1000);
    int count() const;
    // The one device that plays now (the camera heard); null when none or more than one.
    ManualSoundOutput* playing() const;
    // Stalls (or lets go) every device alive that has played, as a sound server that stops
    // taking a stream's sound.
    void setStalled(bool stalled);

private:
    bool fedLocked(double seconds) const;

    mutable std::mutex mutex_;
    std::vector<ManualSoundOutput*> devices_;
};

}  // namespace corvid
