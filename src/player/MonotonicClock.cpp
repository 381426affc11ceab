#include "player/MonotonicClock.h"

namespace corvid {

double MonotonicClock::now() const {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
}

}  // namespace corvid
