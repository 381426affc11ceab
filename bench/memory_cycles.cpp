// Memory: resident size over 500 load/stop cycles of a recording pair in one process, at
// rest (the window left alone for a few seconds after the last cycle, as between a user's
// reviews: what it gives back when idle is back) and busy (right after the last cycle).
#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QThread>
#include <cstdio>
#include <cstdlib>

#include "main_window/DefaultServices.h"
#include "main_window/Form1.h"
#include "player_control/QVRControl.h"
#include "support/BenchWindow.h"
#include "support/ProcessStats.h"
#include "util/AllocatorPolicy.h"

using namespace corvid;
using namespace corvid::bench;

namespace {

constexpr int kWarmUp = 20;
constexpr int kDefaultCycles = 500;

// Loads the pair, waits for both first pictures, stops.
bool cycle(BenchWindow& window, int index) {
    PaintProbe& probe = window.probe();
    const qint64 start = probe.now();
    window.clickLine(index % 2 == 0 ? "AB\tbench" : "AB\tother");
    const bool painted = window.waitUntil([&] {
        return probe.paintIn(&window.camera1(), start) && probe.paintIn(&window.camera2(), start);
    });
    window.form().mnuClose->trigger();
    QApplication::processEvents();
    return painted;
}

// One line of where the resident size is.
void printMemory(const char* when) {
    const ProcessStats::Memory m = ProcessStats::memory();
    std::printf(
        "%-16s resident %ld kB: anonymous %ld, files %ld, shared %ld; allocator in use %ld, "
        "freed but kept %ld; threads %d\n",
        when, ProcessStats::residentKb(), m.anonKb, m.fileKb, m.sharedKb, m.heapInUseKb,
        m.heapFreeKb, m.threads);
}

struct Resident {
    long busy = 0;
    long resting = 0;
};

// Right away, then after leaving the window alone for longer than it waits before giving
// back freed memory.
Resident resident() {
    Resident kb;
    kb.busy = ProcessStats::residentKb();
    QElapsedTimer idle;
    idle.start();
    while (idle.elapsed() < 3000) {
        QApplication::processEvents(QEventLoop::AllEvents, 50);
        QThread::msleep(20);
    }
    kb.resting = ProcessStats::residentKb();
    return kb;
}

}  // namespace

int main(int argc, char** argv) {
    AllocatorPolicy::shareOneArena();  // as the program does
    QApplication app(argc, argv);
    corvid::installDefaultServices();
    if (argc < 2) {
        std::fprintf(stderr,
                     "usage: memory_cycles FOLDER [CYCLES] (with bench-1/2.asf, other-1/2.asf)\n");
        return 2;
    }
    const int kCycles = argc > 2 ? std::atoi(argv[2]) : kDefaultCycles;
    BenchWindow window(argv[1]);
    for (int i = 0; i < kWarmUp; ++i) cycle(window, i);
    const Resident before = resident();
    printMemory("after warm-up");
    Resident middle;
    int failed = 0;
    for (int i = 0; i < kCycles; ++i) {
        if (!cycle(window, i)) ++failed;
        if (i == kCycles / 2 - 1) {
            middle = resident();
            printMemory("after half");
        }
    }
    const Resident after = resident();
    printMemory("after all");
    std::printf(
        "resident at rest after %d warm-up cycles %ld kB, after %d more %ld kB, after %d %ld kB "
        "(busy: %ld, %ld, %ld kB); peak %ld kB; cycles without both pictures: %d\n",
        kWarmUp, before.resting, kCycles / 2, middle.resting, kCycles, after.resting, before.busy,
        middle.busy, after.busy, ProcessStats::peakResidentKb(), failed);
    std::printf("busy growth over %d load/stop cycles %.2f MB (second half %.2f MB)\n", kCycles,
                (after.busy - before.busy) / 1024.0, (after.busy - middle.busy) / 1024.0);
    std::printf(
        "result growth over %d load/stop cycles %.2f MB (first half %.2f MB, second half "
        "%.2f MB)  (target < 2 MB, second half < 1 MB)\n",
        kCycles, (after.resting - before.resting) / 1024.0,
        (middle.resting - before.resting) / 1024.0, (after.resting - middle.resting) / 1024.0);
    return failed == 0 ? 0 : 1;
}
