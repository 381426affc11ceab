#pragma once

#include <QApplication>
#include <QElapsedTimer>
#include <chrono>
#include <thread>

namespace corvid::test {

// Polls (processing events) until the condition holds or the time is up.
template <typename Condition>
bool eventually(Condition&& condition, int ms = 5000) {
    QElapsedTimer timer;
    timer.start();
    while (!condition()) {
        if (timer.elapsed() > ms) return false;
        QApplication::processEvents();
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

}  // namespace corvid::test
