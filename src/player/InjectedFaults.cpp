#include "player/InjectedFaults.h"

namespace corvid {

void InjectedFaults::fail(Worker worker, const std::string& name) {
    std::lock_guard lock(mutex_);
    failing_.emplace(worker, name);
}

bool InjectedFaults::fails(Worker worker, const std::string& path) const {
    std::lock_guard lock(mutex_);
    for (const auto& [failing, name] : failing_) {
        if (failing == worker && path.size() >= name.size() &&
            path.compare(path.size() - name.size(), name.size(), name) == 0)
            return true;
    }
    return false;
}

}  // namespace corvid
