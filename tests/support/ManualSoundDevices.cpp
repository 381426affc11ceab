#include "support/ManualSoundDevices.h"

#include <algorithm>
#include <chrono>
#include <thread>

#include "support/ManualSoundOutput.h"

namespace corvid {

void ManualSoundDevices::add(ManualSoundOutput* device) {
    std::lock_guard lock(mutex_);
    devices_.push_back(device);
}

void ManualSoundDevices::remove(ManualSoundOutput* device) {
    std::lock_guard lock(mutex_);
    std::erase(devices_, device);
}

ManualSoundOutput* ManualSoundDevices::playing() const {
    std::lock_guard lock(mutex_);
    ManualSoundOutput* found = nullptr;
    for (ManualSoundOutput* device : devices_) {
        if (!device->playing()) continue;
        if (found != nullptr) return nullptr;
        found = device;
    }
    return found;
}

int ManualSoundDevices::count() const {
    std::lock_guard lock(mutex_);
    return static_cast<int>(devices_.size());
}

void ManualSoundDevices::setStalled(bool stalled) {
    std::lock_guard lock(mutex_);
    for (ManualSoundOutput* device : devices_) {
        if (!stalled || device->heardSeconds() > 0) device->setStalled(stalled);
    }
}

bool ManualSoundDevices::fedLocked(double seconds) const {
    return std::all_of(devices_.begin(), devices_.end(), [&](ManualSoundOutput* device) {
        return !device->takesSound() || device->unheardSeconds() >= seconds;
    });
}

bool ManualSoundDevices::waitUntilFed(double seconds, int ms) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    for (;;) {
        {
            std::lock_guard lock(mutex_);
            if (fedLocked(seconds)) return true;
        }
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(std::chrono::microseconds(500));
    }
}

}  // namespace corvid
