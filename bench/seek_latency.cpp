// Seek: from a press on the progress bar to both panels painting the picture at the new
// point, against one accurate seek per file with the FFmpeg libraries alone; then a drag
// of 100 mouse moves: how long after the last move both panels show its point.
#include <QApplication>
#include <QElapsedTimer>
#include <cstdio>

#include "main_window/DefaultServices.h"
#include "media_engine/clsDShowControl.h"
#include "player_control/QVRControl.h"
#include "support/AvFloor.h"
#include "support/BenchWindow.h"
#include "support/Timings.h"
#include "util/AllocatorPolicy.h"

using namespace corvid;
using namespace corvid::bench;

namespace {

// Points on the bar, none of them on a key frame.
constexpr double kPoints[] = {0.37, 0.81, 0.13, 0.59, 0.92, 0.24, 0.68, 0.45,
                              0.07, 0.53, 0.76, 0.31, 0.88, 0.19, 0.64};
constexpr double kFrame = 0.04;

// The paint of the picture due at a panel's position: at most one frame before it.
std::optional<PaintProbe::Paint> shown(BenchWindow& window, QVRControl& panel, qint64 since) {
    const double target = panel.engine()->DS_GetPosition();
    return window.probe().paintIn(&panel, since, target - kFrame / 2, kFrame / 2 + 0.001);
}

// Milliseconds from `since` until both panels painted their position's picture.
double untilBothShown(BenchWindow& window, qint64 since) {
    std::optional<PaintProbe::Paint> left, right;
    const bool done = window.waitUntil([&] {
        left = shown(window, window.camera1(), since);
        right = shown(window, window.camera2(), since);
        return left && right;
    });
    return done ? (std::max(left->ns, right->ns) - since) / 1e6 : -1;
}

}  // namespace

int main(int argc, char** argv) {
    AllocatorPolicy::shareOneArena();  // as the program does
    QApplication app(argc, argv);
    corvid::installDefaultServices();
    if (argc < 2) {
        std::fprintf(stderr, "usage: seek_latency FOLDER (with bench-1.asf and bench-2.asf)\n");
        return 2;
    }
    const QString folder = argv[1];
    AvFloor floor1((folder + "/bench-1.asf").toStdString());
    AvFloor floor2((folder + "/bench-2.asf").toStdString());

    BenchWindow window(folder);
    PaintProbe& probe = window.probe();
    const qint64 opened = probe.now();
    window.clickLine("AB\tbench");
    if (!window.waitUntil([&] {
            return probe.paintIn(&window.camera1(), opened) &&
                   probe.paintIn(&window.camera2(), opened);
        })) {
        std::printf("result FAILED: the pair did not open\n");
        return 1;
    }

    Timings floor;
    Timings corvid;
    for (double point : kPoints) {
        const qint64 start = probe.now();
        window.pressBar(point);
        const double ms = untilBothShown(window, start);
        const double target1 = window.camera1().engine()->DS_GetPosition();
        const double target2 = window.camera2().engine()->DS_GetPosition();
        window.releaseBar(point);
        if (ms < 0) {
            std::printf("result FAILED: no picture at %.3f s / %.3f s within 10 s\n", target1,
                        target2);
            return 1;
        }
        corvid.add(ms);

        QElapsedTimer timer;
        timer.start();
        floor1.seek(target1);
        floor2.seek(target2);
        floor.add(timer.nsecsElapsed() / 1e6);
        window.waitUntil([] { return false; }, 150);  // let both play a little
    }

    // A drag across the bar: 100 moves, then wait for the last point's pictures.
    window.pressBar(0.1);
    QElapsedTimer drag;
    drag.start();
    qint64 lastMove = 0;
    for (int move = 1; move <= 100; ++move) {
        lastMove = probe.now();
        window.moveOnBar(0.1 + 0.8 * move / 100.0);
    }
    const double moving = drag.nsecsElapsed() / 1e6;
    const double settle = untilBothShown(window, lastMove);
    window.releaseBar(0.9);

    std::printf("floor (libav accurate seek, both files): median %.1f ms, min %.1f ms\n",
                floor.median(), floor.min());
    std::printf("corvid (press on bar to both painted):   median %.1f ms, min %.1f ms\n",
                corvid.median(), corvid.min());
    std::printf(
        "drag of 100 moves: %.1f ms handling the moves, then %.1f ms until both show the "
        "last point\n",
        moving, settle);
    std::printf(
        "result corvid %.1f ms  floor %.1f ms  ratio %.2f  (target <= 1.5); drag: last move "
        "to both shown %.1f ms (moves took %.1f ms)\n",
        corvid.median(), floor.median(), corvid.median() / floor.median(), settle, moving);
    return 0;
}
