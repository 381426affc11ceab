#include "support/BenchInput.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QWidget>
#include <chrono>
#include <thread>

namespace corvid::bench {

void BenchInput::pressKey(QWidget* to, int key) {
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
    QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier);
    QApplication::sendEvent(to, &press);
    QApplication::sendEvent(to, &release);
}

void BenchInput::runFor(int ms) {
    QElapsedTimer wall;
    wall.start();
    while (wall.elapsed() < ms) {
        QApplication::processEvents(QEventLoop::AllEvents, 5);
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

}  // namespace corvid::bench
