#include "support/EventLoopProbe.h"

#include <algorithm>

namespace corvid::test {

EventLoopProbe::EventLoopProbe() {
    elapsed_.start();
    timer_.setTimerType(Qt::PreciseTimer);
    timer_.setInterval(kIntervalMs);
    QObject::connect(&timer_, &QTimer::timeout, [this] {
        const qint64 now = elapsed_.elapsed();
        worst_ = std::max(worst_, now - lastTick_ - kIntervalMs);
        lastTick_ = now;
    });
    timer_.start();
}

void EventLoopProbe::reset() {
    lastTick_ = elapsed_.elapsed();
    worst_ = 0;
}

qint64 EventLoopProbe::worstMs() const {
    return std::max(worst_, elapsed_.elapsed() - lastTick_ - kIntervalMs);
}

}  // namespace corvid::test
