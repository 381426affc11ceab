// Dual playback cost: CPU seconds of the whole process per second of media while the
// window at its minimum size plays a recording pair, optionally with both pictures zoomed
// (ZOOM, 1..8, as the mouse wheel zooms them). Prints key-value lines for bench/run.
#include <QApplication>
#include <QEventLoop>
#include <QTimer>
#include <QWheelEvent>
#include <cmath>
#include <cstdio>

#include "main_window/DefaultServices.h"
#include "media_engine/clsDShowControl.h"
#include "player_control/QVRControl.h"
#include "player_output/VideoWindowWidget.h"
#include "support/BenchWindow.h"
#include "support/ProcessStats.h"
#include "util/AllocatorPolicy.h"

using namespace corvid;
using namespace corvid::bench;

int main(int argc, char** argv) {
    AllocatorPolicy::shareOneArena();  // as the program does
    QApplication app(argc, argv);
    corvid::installDefaultServices();
    if (argc < 3) {
        std::fprintf(stderr, "usage: playback_cost FOLDER SECONDS [ZOOM] (with bench-1/2.asf)\n");
        return 2;
    }
    const double seconds = std::atof(argv[2]);
    const double zoom = argc > 3 ? std::atof(argv[3]) : 1.0;
    BenchWindow window(argv[1]);
    PaintProbe& probe = window.probe();
    const qint64 start = probe.now();
    window.clickLine("AB\tbench");
    if (!window.waitUntil([&] {
            return probe.paintIn(&window.camera1(), start) &&
                   probe.paintIn(&window.camera2(), start);
        })) {
        std::printf("failed the pair did not open\n");
        return 1;
    }

    // The wheel over each picture's centre: one notch zooms by a quarter.
    for (QVRControl* panel : {&window.camera1(), &window.camera2()}) {
        auto* video = panel->PicVid->findChild<VideoWindowWidget*>();
        if (video == nullptr || zoom <= 1.0) continue;
        const QPointF centre(video->width() / 2.0, video->height() / 2.0);
        const int delta = static_cast<int>(std::lround(120 * std::log(zoom) / std::log(1.25)));
        QWheelEvent wheel(centre, video->mapToGlobal(centre), QPoint(), QPoint(0, delta),
                          Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(video, &wheel);
    }

    clsDShowControl& engine1 = *window.camera1().engine();
    const double position0 = engine1.DS_GetPosition();
    const double cpu0 = ProcessStats::cpuSeconds();
    const auto threads0 = ProcessStats::cpuSecondsByThread();
    const auto switches0 = ProcessStats::switchesByThread();
    const long paints0 = probe.paints();
    const qint64 wall0 = probe.now();

    // Let the window run as it would for a user; look at the position now and then only.
    QEventLoop loop;
    QTimer check;
    check.setInterval(250);
    QObject::connect(&check, &QTimer::timeout, [&] {
        const bool nearEnd = engine1.DS_GetPosition() >= seconds - 0.5;
        if (nearEnd || probe.now() - wall0 > (seconds + 10) * 1e9) loop.quit();
    });
    check.start();
    loop.exec();

    const double cpu = ProcessStats::cpuSeconds() - cpu0;
    const double media = engine1.DS_GetPosition() - position0;
    const double wall = (probe.now() - wall0) / 1e9;
    std::printf("cpu_seconds %.3f\n", cpu);
    std::printf("media_seconds %.3f\n", media);
    std::printf("wall_seconds %.3f\n", wall);
    std::printf("cpu_per_media_second %.4f\n", media > 0 ? cpu / media : 0.0);
    std::printf("video_paints_per_media_second %.1f\n", (probe.paints() - paints0) / media);
    std::printf("surface_width %d\n", window.camera1().PicVid->width());
    std::printf("surface_height %d\n", window.camera1().PicVid->height());
    std::printf("peak_rss_kb %ld\n", ProcessStats::peakResidentKb());
    std::printf("zoom %.2f %.2f\n", window.camera1().Zoom(), window.camera2().Zoom());
    // Per thread name, CPU seconds and wake-ups per media second (threads of a name summed).
    const auto perMediaSecond = [&](const char* label, const auto& now, const auto& before,
                                    const char* format) {
        double total = 0;
        for (const auto& [name, value] : now) {
            const auto then = before.find(name);
            const double spent = value - (then == before.end() ? 0.0 : then->second);
            total += spent;
            std::printf(format, label, name.c_str(), media > 0 ? spent / media : 0.0);
        }
        return media > 0 ? total / media : 0.0;
    };
    perMediaSecond("thread_cpu", ProcessStats::cpuSecondsByThread(), threads0, "%s %s %.4f\n");
    const double wakeups = perMediaSecond("thread_wakeups", ProcessStats::switchesByThread(),
                                          switches0, "%s %s %.1f\n");
    std::printf("wakeups_per_media_second %.1f\n", wakeups);
    return 0;
}
