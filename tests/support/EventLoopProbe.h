#pragma once

#include <QElapsedTimer>
#include <QTimer>

namespace corvid::test {

// How long the event loop of the user's thread stood still: a timer that fires every few
// milliseconds and measures how much later than due it came. Only a loop that runs can
// fire it, so a test measures while it waits with the loop running (qWait, eventually).
class EventLoopProbe {
public:
    EventLoopProbe();

    // Starts a new measure from now.
    void reset();
    // The longest the loop stood still beyond the timer's interval since the last reset,
    // the stretch still running included.
    qint64 worstMs() const;

private:
    static constexpr int kIntervalMs = 5;

    QTimer timer_;
    QElapsedTimer elapsed_;
    qint64 lastTick_ = 0;
    qint64 worst_ = 0;
};

}  // namespace corvid::test
