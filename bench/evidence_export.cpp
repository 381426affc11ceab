// Evidence export speed: media seconds of a pair rendered into one MP4 per wall-clock
// second, the way Ctrl+Shift+E does it, in one run. Prints key-value lines for bench/run,
// with the filter graph it used, which bench/run gives the ffmpeg tool beside it.
#include <QElapsedTimer>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "player/AsfHeaderReader.h"
#include "player/EvidenceExporter.h"
#include "player/FrameReader.h"
#include "player/SideBySideFilter.h"
#include "support/ProcessStats.h"

using namespace corvid;
using namespace corvid::bench;

int main(int argc, char** argv) {
    if (argc < 6) {
        std::fprintf(stderr, "usage: evidence_export CAMERA1 CAMERA2 FROM TO OUT.mp4\n");
        return 2;
    }
    const std::string cameras[2] = {argv[1], argv[2]};
    const double from = std::atof(argv[3]);
    const double to = std::atof(argv[4]);
    const std::string out = argv[5];
    std::filesystem::remove(out);

    // The graph as the export builds it, from each camera's first picture.
    const std::atomic<bool> never{false};
    std::vector<SideBySideFilter::Input> inputs;
    for (const std::string& camera : cameras) {
        FrameReader reader(camera, AVMEDIA_TYPE_VIDEO, never);
        reader.start(0);
        const auto first = reader.next();
        if (!first) return 1;
        inputs.push_back({first->frame->width, first->frame->height,
                          static_cast<AVPixelFormat>(first->frame->format),
                          first->frame->sample_aspect_ratio});
    }

    EvidenceExporter::Request request;
    request.cameras = {{cameras[0], 0, "Cam1", AsfHeaderReader::creationTime(cameras[0]), true},
                       {cameras[1], 0, "Cam2", AsfHeaderReader::creationTime(cameras[1]), false}};
    request.from = from;
    request.to = to;
    request.target = out;
    EvidenceExporter exporter(request);
    const double cpu0 = ProcessStats::cpuSeconds();
    QElapsedTimer timer;
    timer.start();
    if (!exporter.write()) return 1;
    exporter.publish();
    const double wall = timer.nsecsElapsed() / 1e9;
    const double seconds = to - from;
    std::printf("media_seconds %.3f\n", seconds);
    std::printf("wall_seconds %.3f\n", wall);
    std::printf("cpu_seconds %.3f\n", ProcessStats::cpuSeconds() - cpu0);
    std::printf("media_seconds_per_second %.2f\n", seconds / wall);
    std::printf("filter_graph %s\n", SideBySideFilter::description(inputs).c_str());
    return 0;
}
