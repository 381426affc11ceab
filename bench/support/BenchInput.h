#pragma once

class QWidget;

namespace corvid::bench {

// What a benchmark does in the window's place of a user: keys, and time for the window.
class BenchInput {
public:
    // Presses and releases `key` on `to`.
    static void pressKey(QWidget* to, int key);
    // Lets the window run for `ms` milliseconds of wall time.
    static void runFor(int ms);
};

}  // namespace corvid::bench
