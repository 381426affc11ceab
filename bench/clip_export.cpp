// Clip export speed: media seconds copied per wall-clock second when a span of both
// cameras is exported, the way Ctrl+E does it (one file after the other). Prints
// key-value lines for bench/run, which sets the same span beside `ffmpeg -c copy`.
#include <QElapsedTimer>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "player/ClipExporter.h"
#include "support/ProcessStats.h"
#include "support/Timings.h"

using namespace corvid;
using namespace corvid::bench;

int main(int argc, char** argv) {
    if (argc < 5) {
        std::fprintf(stderr,
                     "usage: clip_export FOLDER START END OUT_FOLDER (with bench-1/2.asf)\n");
        return 2;
    }
    const std::string folder = argv[1];
    const double start = std::atof(argv[2]);
    const double end = std::atof(argv[3]);
    const std::string out = argv[4];
    std::filesystem::create_directories(out);
    constexpr int kRuns = 5;

    Timings wall;
    double copied = 0;
    const double cpu0 = ProcessStats::cpuSeconds();
    for (int run = 0; run <= kRuns; ++run) {
        QElapsedTimer timer;
        timer.start();
        double media = 0;
        for (const char* camera : {"1", "2"}) {
            const std::string target = out + "/clip-" + camera + ".asf";
            std::filesystem::remove(target);
            ClipExporter exporter(folder + "/bench-" + camera + ".asf", target);
            if (!exporter.write(start, end)) return 1;
            exporter.publish();
            media += end - exporter.clipStart();
        }
        // The first run warms the page cache, as the ffmpeg runs beside it are warmed.
        if (run > 0) wall.add(timer.nsecsElapsed() / 1e6);
        copied = media;
    }
    const double cpu = (ProcessStats::cpuSeconds() - cpu0) / (kRuns + 1);
    std::printf("media_seconds %.3f\n", copied);
    std::printf("wall_ms_median %.1f\n", wall.median());
    std::printf("cpu_seconds_per_export %.4f\n", cpu);
    std::printf("media_seconds_per_second %.1f\n", copied / (wall.median() / 1000.0));
    return 0;
}
