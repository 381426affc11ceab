// Click to picture: from a click on a recording's line to both panels having painted
// their first picture, against opening both files and decoding their first picture with
// the FFmpeg libraries alone, in the same process. Where the time went is told in four
// parts, from the calls the window makes on the graph factory: before the opens start
// (the list's own work, and closing the recording on show where that comes first), the
// wait for both files' opens, the panels' set-up once they are open (until the click
// returns), and the pictures' presenting and painting after it; beside them the CPU time
// the whole process took over the click, for all its threads.
#include <QApplication>
#include <QElapsedTimer>
#include <algorithm>
#include <cstdio>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "main_window/DefaultServices.h"
#include "player_control/QVRControl.h"
#include "support/AvFloor.h"
#include "support/BenchWindow.h"
#include "support/ProcessStats.h"
#include "support/Timings.h"
#include "util/AllocatorPolicy.h"

using namespace corvid;
using namespace corvid::bench;

namespace {

constexpr int kRounds = 15;

double floorMs(const std::string& camera1, const std::string& camera2) {
    QElapsedTimer timer;
    timer.start();
    AvFloor first(camera1);
    AvFloor second(camera2);
    return timer.nsecsElapsed() / 1e6;
}

// The four parts of each click, in milliseconds, and the process's CPU time over it, also
// by thread name.
struct Parts {
    Timings beforeOpens;
    Timings opens;
    Timings setUp;
    Timings painting;
    Timings cpu;
    std::map<std::string, Timings> cpuByThread;
};

// Splits the CPU time of a click by thread name. Threads that ended meanwhile (the opens,
// those of the recording shown before) are what the live ones leave of the process's time.
void addCpuByThread(Parts& parts, const std::map<int, ProcessStats::Task>& before,
                    double processMs) {
    std::map<std::string, double> spent;
    double live = 0;
    for (const auto& [tid, task] : ProcessStats::runTimeByTask()) {
        const auto then = before.find(tid);
        const double ms = (task.ns - (then == before.end() ? 0.0 : then->second.ns)) / 1e6;
        spent[task.name] += ms;
        live += ms;
    }
    spent["(threads that ended)"] = std::max(0.0, processMs - live);
    for (const auto& [name, ms] : spent) parts.cpuByThread[name].add(ms);
}

// Milliseconds from the click until both panels painted, or -1 when they did not.
double clickMs(BenchWindow& window, const QString& line, Parts* parts = nullptr) {
    PaintProbe& probe = window.probe();
    const auto tasks0 = ProcessStats::runTimeByTask();
    const double cpu0 = ProcessStats::cpuSeconds();
    const qint64 start = probe.now();
    window.clickLine(line);
    const qint64 returned = probe.now();
    std::optional<PaintProbe::Paint> left, right;
    const bool painted = window.waitUntil([&] {
        left = probe.paintIn(&window.camera1(), start);
        right = probe.paintIn(&window.camera2(), start);
        return left && right;
    });
    if (!painted) return -1;
    if (parts != nullptr) {
        const double cpuMs = (ProcessStats::cpuSeconds() - cpu0) * 1000;
        parts->cpu.add(cpuMs);
        addCpuByThread(*parts, tasks0, cpuMs);
    }
    const qint64 end = std::max(left->ns, right->ns);
    std::optional<qint64> prepared, ready;
    for (const PaintProbe::FactoryCall& call : probe.factoryCalls(start)) {
        if (call.call == PaintProbe::Call::PrepareFile && !prepared) prepared = call.ns;
        if (call.call == PaintProbe::Call::FileReady && call.ns <= end) ready = call.ns;
    }
    if (parts != nullptr && prepared && ready) {
        // A load that waited for its files in the background set up the panels after the
        // click returned: that time counts as painting.
        const qint64 setUp = std::max(returned, *ready);
        parts->beforeOpens.add((*prepared - start) / 1e6);
        parts->opens.add((*ready - *prepared) / 1e6);
        parts->setUp.add((setUp - *ready) / 1e6);
        parts->painting.add((end - setUp) / 1e6);
    }
    return (end - start) / 1e6;
}

}  // namespace

int main(int argc, char** argv) {
    AllocatorPolicy::shareOneArena();  // as the program does
    QApplication app(argc, argv);
    corvid::installDefaultServices();
    if (argc < 2) {
        std::fprintf(stderr,
                     "usage: click_to_picture FOLDER (with bench-1/2.asf, other-1/2.asf)\n");
        return 2;
    }
    const QString folder = argv[1];
    const std::string camera1 = (folder + "/bench-1.asf").toStdString();
    const std::string camera2 = (folder + "/bench-2.asf").toStdString();

    BenchWindow window(folder);
    floorMs(camera1, camera2);  // warm the caches for both
    clickMs(window, "AB\tother");

    Timings floor;
    Timings corvid;
    Parts parts;
    for (int round = 0; round < kRounds; ++round) {
        const QString line = round % 2 == 0 ? "AB\tbench" : "AB\tother";
        // Alternate the order so neither side always runs on a cache the other warmed.
        if (round % 2 == 0) floor.add(floorMs(camera1, camera2));
        const double ms = clickMs(window, line, &parts);
        if (ms < 0) {
            std::printf("result FAILED: the panels did not paint within 10 s\n");
            return 1;
        }
        corvid.add(ms);
        if (round % 2 == 1) floor.add(floorMs(camera1, camera2));
    }
    std::printf("floor (libav open + first picture, both files): median %.1f ms, min %.1f ms\n",
                floor.median(), floor.min());
    std::printf("corvid (click to both panels painted):         median %.1f ms, min %.1f ms\n",
                corvid.median(), corvid.min());
    if (parts.opens.count() > 0) {
        std::printf(
            "where (medians, ms): before the opens %.1f, opens %.1f, panels' set-up %.1f, "
            "presenting and painting %.1f\n",
            parts.beforeOpens.median(), parts.opens.median(), parts.setUp.median(),
            parts.painting.median());
    } else {
        std::printf("where: n/a (the window made no calls to prepare its files)\n");
    }
    if (parts.cpu.count() > 0)
        std::printf(
            "process CPU from click to painted: median %.1f ms (the floor, on one thread, about "
            "its time)\n",
            parts.cpu.median());
    std::vector<std::pair<double, std::string>> byThread;
    for (const auto& [name, timings] : parts.cpuByThread)
        if (timings.median() >= 0.1) byThread.emplace_back(timings.median(), name);
    std::sort(byThread.rbegin(), byThread.rend());
    std::printf("its threads (medians, ms):");
    for (const auto& [ms, name] : byThread) std::printf(" %s %.1f;", name.c_str(), ms);
    std::printf("\n");
    std::printf("result corvid %.1f ms  floor %.1f ms  ratio %.2f  (target <= 1.5)\n",
                corvid.median(), floor.median(), corvid.median() / floor.median());
    return 0;
}
