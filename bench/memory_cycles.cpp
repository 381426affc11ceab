// Memory: resident size over 500 load/stop cycles of a recording pair in one process.
#include <QAction>
#include <QApplication>
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
    const long before = ProcessStats::residentKb();
    printMemory("after warm-up");
    long middle = 0;
    int failed = 0;
    for (int i = 0; i < kCycles; ++i) {
        if (!cycle(window, i)) ++failed;
        if (i == kCycles / 2 - 1) {
            middle = ProcessStats::residentKb();
            printMemory("after half");
        }
    }
    const long after = ProcessStats::residentKb();
    printMemory("after all");
    std::printf(
        "resident after %d warm-up cycles %ld kB, after %d more %ld kB, after %d %ld kB; "
        "peak %ld kB; cycles without both pictures: %d\n",
        kWarmUp, before, kCycles / 2, middle, kCycles, after, ProcessStats::peakResidentKb(),
        failed);
    std::printf(
        "result growth over %d load/stop cycles %.2f MB (first half %.2f MB, second half "
        "%.2f MB)  (target < 2 MB, second half < 1 MB)\n",
        kCycles, (after - before) / 1024.0, (middle - before) / 1024.0, (after - middle) / 1024.0);
    return failed == 0 ? 0 : 1;
}
