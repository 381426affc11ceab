// How far apart the two panels drift while a recording plays for a minute, at normal
// speed and at 4x. The panels share no clock, so each keeps its own time; this reports how
// much they disagree afterwards. Measurements only: it never fails on a number.
//
// Usage: panel_drift [seconds]   (default 60; needs the ffmpeg command-line tool)

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QListWidget>
#include <QProcess>
#include <QTemporaryDir>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "main_window/DefaultServices.h"
#include "main_window/Form1.h"
#include "media_engine/clsDShowControl.h"
#include "platform/files/FolderList.h"
#include "player_control/QVRControl.h"

namespace {

using corvid::Form1;
using corvid::QVRControl;

// One camera's file: a plain picture and a tone, long enough for the fastest run.
bool makeCamera(const QString& path, double seconds, const char* colour, int toneHz) {
    const QString length = QString::number(seconds);
    QProcess ffmpeg;
    ffmpeg.start("ffmpeg", {"-hide_banner",
                            "-loglevel",
                            "error",
                            "-y",
                            "-f",
                            "lavfi",
                            "-i",
                            QString("color=c=%1:s=176x144:r=25:d=%2").arg(colour, length),
                            "-f",
                            "lavfi",
                            "-i",
                            QString("sine=f=%1:sample_rate=44100:d=%2").arg(toneHz).arg(length),
                            "-c:v",
                            "wmv2",
                            "-q:v",
                            "8",
                            "-c:a",
                            "wmav2",
                            "-ac",
                            "2",
                            path});
    return ffmpeg.waitForFinished(600000) && ffmpeg.exitStatus() == QProcess::NormalExit &&
           ffmpeg.exitCode() == 0;
}

void pressKey(QWidget* to, int key) {
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
    QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier);
    QApplication::sendEvent(to, &press);
    QApplication::sendEvent(to, &release);
}

void runFor(int ms) {
    QElapsedTimer wall;
    wall.start();
    while (wall.elapsed() < ms) QApplication::processEvents(QEventLoop::AllEvents, 20);
}

double position(QVRControl* panel) {
    return panel->engine()->DS_GetPosition();
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    corvid::installDefaultServices();
    const double playSeconds = argc > 1 ? std::atof(argv[1]) : 60.0;
    const double fastest = 4.0;

    QTemporaryDir folder;
    const double length = playSeconds * fastest + 10.0;
    if (!folder.isValid() || !makeCamera(folder.filePath("drift-1.asf"), length, "red", 440) ||
        !makeCamera(folder.filePath("drift-2.asf"), length, "blue", 880)) {
        std::fprintf(stderr, "panel_drift: cannot make the recordings (is ffmpeg installed?)\n");
        return 2;
    }

    Form1 form;
    form.show();
    form.DirList->setPath(folder.path());
    QApplication::processEvents();
    if (form.lsASF->count() != 1) {
        std::fprintf(stderr, "panel_drift: the recording is not listed\n");
        return 2;
    }

    std::printf("panel_drift: two cameras, %.0f s of wall time per speed\n", playSeconds);
    for (const double speed : {1.0, fastest}) {
        // A fresh load for each run, so both start together from the beginning.
        form.lsASF->setCurrentRow(-1);
        form.lsASF->setCurrentRow(0);
        pressKey(form.lsASF, Qt::Key_Backspace);
        for (double s = 1.0; s < speed; s *= 2) pressKey(form.lsASF, Qt::Key_BracketRight);
        // A sound server may take a moment to start a stream; the clock waits for the
        // sound, so the measurement starts once both panels move.
        QElapsedTimer starting;
        starting.start();
        runFor(500);
        for (;;) {
            const double before1 = position(form.QVRControl1);
            const double before2 = position(form.QVRControl2);
            runFor(100);
            const double least = 0.08 * speed;
            if (starting.elapsed() > 5000 || (position(form.QVRControl1) - before1 > least &&
                                              position(form.QVRControl2) - before2 > least))
                break;
        }
        const qint64 startedAfter = starting.elapsed();
        const double start1 = position(form.QVRControl1);
        const double start2 = position(form.QVRControl2);
        QElapsedTimer wall;
        wall.start();
        runFor(static_cast<int>(playSeconds * 1000));
        const double camera1 = position(form.QVRControl1);
        const double camera2 = position(form.QVRControl2);
        const double elapsed = wall.elapsed() / 1000.0;
        std::printf(
            "  %gx: moving after %lld ms, start apart %7.1f ms; after %.1f s camera 1 at %8.3f s, "
            "camera 2 at %8.3f s, apart %7.1f ms; camera 1 moved %.3f s (expected %.3f)\n",
            form.QVRControl1->engine()->DS_GetRate(), static_cast<long long>(startedAfter),
            1000.0 * std::abs(start1 - start2), elapsed, camera1, camera2,
            1000.0 * std::abs(camera1 - camera2), camera1 - start1, elapsed * speed);
    }
    return 0;
}
