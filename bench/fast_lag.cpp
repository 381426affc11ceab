// How far the pictures fall behind the clock at 16x, and what playing that fast costs: a
// 1920x1080 pair and a D1 pair as a two-camera recorder writes them (camera 1 WMV2 with WMA
// sound, camera 2 MS-MPEG4 without, a key frame every 2 s) play from their start at 16x in
// the main window. The lag is the clock's position less the media time of the picture on
// show, in media seconds, sampled every few milliseconds; the CPU is the whole process's.
// Measurements only: it never fails on a number.
//
// Usage: fast_lag FOLDER [SECONDS]   (FOLDER keeps the generated pairs; 30 s unless given)

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QKeyEvent>
#include <QListWidget>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <set>
#include <thread>
#include <vector>

#include "main_window/DefaultServices.h"
#include "main_window/Form1.h"
#include "platform/graph/FfmpegGraph.h"
#include "platform/widgets/MessageBox.h"
#include "player_control/QVRControl.h"
#include "support/BenchInput.h"
#include "support/BenchWindow.h"
#include "support/ProcessStats.h"
#include "support/Recordings.h"
#include "util/AllocatorPolicy.h"

namespace {

using namespace corvid;
using namespace corvid::bench;

struct Size {
    const char* name;
    int width;
    int height;
    const char* bitrate;
};

bool makePair(const QString& folder, const Size& size, double seconds) {
    const QString video =
        QString("testsrc2=s=%1x%2:r=25:d=%3").arg(size.width).arg(size.height).arg(seconds);
    const QString base = folder + "/" + size.name;
    if (!QFile::exists(base + "-1.asf") &&
        !writeWithFfmpeg(
            {"-v",   "error", "-nostdin", "-y",
             "-f",   "lavfi", "-i",       video,
             "-f",   "lavfi", "-i",       QString("sine=f=440:r=44100:d=%1").arg(seconds),
             "-c:v", "wmv2",  "-b:v",     size.bitrate,
             "-g",   "50",    "-c:a",     "wmav2",
             "-b:a", "64k",   "-ac",      "2",
             "-f",   "asf"},
            base + "-1.asf"))
        return false;
    return QFile::exists(base + "-2.asf") ||
           writeWithFfmpeg(
               {"-v", "error", "-nostdin", "-y", "-f", "lavfi", "-i", video + ",hue=h=90", "-c:v",
                "msmpeg4", "-b:v", size.bitrate, "-g", "50", "-an", "-f", "asf"},
               base + "-2.asf");
}

struct Lags {
    std::vector<double> samples;
    std::set<double> pictures;  // the distinct pictures seen on show

    double at(double share) const {
        if (samples.empty()) return 0;
        std::vector<double> sorted = samples;
        std::sort(sorted.begin(), sorted.end());
        return sorted[std::min(sorted.size() - 1, static_cast<std::size_t>(share * sorted.size()))];
    }
};

void measure(BenchWindow& window, const Size& size, double seconds) {
    window.clickLine(QString("AB\t") + size.name);
    // Large files may open after the click returns, each camera as soon as its file is open.
    std::shared_ptr<FfmpegGraph> g1, g2;
    const bool opened = window.waitUntil([&] {
        g1 = window.probe().graphIn(&window.camera1());
        g2 = window.probe().graphIn(&window.camera2());
        return g1 && g2;
    });
    if (!opened || !window.waitUntil([&] {
            return g1->shownPictureTime() > 0.2 && g2->shownPictureTime() > 0.2;
        })) {
        std::printf("  %-10s n/a (the pair did not play)\n", size.name);
        return;
    }
    QWidget* keys = window.form().lsASF;
    BenchInput::pressKey(keys, Qt::Key_Backspace);
    for (int i = 0; i < 4; ++i) BenchInput::pressKey(keys, Qt::Key_BracketRight);

    const double position0 = g1->get_CurrentPosition();
    const double cpu0 = ProcessStats::cpuSeconds();
    Lags lags[2];
    QElapsedTimer wall;
    wall.start();
    double position = position0;
    while (position < seconds - 1.0 && wall.elapsed() < (seconds + 10) * 1000) {
        QApplication::processEvents(QEventLoop::AllEvents, 2);
        position = g1->get_CurrentPosition();
        int camera = 0;
        for (FfmpegGraph* graph : {g1.get(), g2.get()}) {
            const double shown = graph->shownPictureTime();
            lags[camera].samples.push_back(graph->get_CurrentPosition() - shown);
            lags[camera].pictures.insert(shown);
            ++camera;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(4));
    }
    const double cpu = ProcessStats::cpuSeconds() - cpu0;
    const double media = position - position0;
    for (int camera = 0; camera < 2; ++camera) {
        const Lags& lag = lags[camera];
        std::printf(
            "  %-10s camera %d: lag median %.2f s  p90 %.2f s  max %.2f s  last %.2f s  "
            "pictures %zu\n",
            size.name, camera + 1, lag.at(0.5), lag.at(0.9), lag.at(1.0),
            lag.samples.empty() ? 0.0 : lag.samples.back(), lag.pictures.size());
    }
    std::printf("  %-10s cpu %.3f s for %.1f media s in %.2f wall s: %.2f cores\n", size.name, cpu,
                media, wall.elapsed() / 1000.0,
                wall.elapsed() > 0 ? cpu * 1000 / wall.elapsed() : 0);
    std::fflush(stdout);
    BenchInput::pressKey(keys, Qt::Key_Backspace);
    BenchInput::runFor(300);
}

}  // namespace

int main(int argc, char** argv) {
    AllocatorPolicy::shareOneArena();  // as the program does
    QApplication app(argc, argv);
    corvid::installDefaultServices();
    if (argc < 2) {
        std::fprintf(stderr, "usage: fast_lag FOLDER [SECONDS]\n");
        return 2;
    }
    const QString folder = argv[1];
    const double seconds = argc > 2 ? std::atof(argv[2]) : 30.0;
    const Size sizes[] = {{"hd", 1920, 1080, "8000k"}, {"d1", 704, 576, "1500k"}};
    QDir().mkpath(folder);
    for (const Size& size : sizes) {
        if (!makePair(folder, size, seconds)) {
            std::fprintf(stderr, "fast_lag: cannot make the recordings (is ffmpeg installed?)\n");
            return 2;
        }
    }
    MessageBox::Scoped messages([](QWidget*, const QString& text) {
        std::fprintf(stderr, "fast_lag: message: %s\n", qPrintable(text));
    });
    BenchWindow window(folder);
    std::printf("fast_lag: pairs played at 16x from their start, %.0f s of media\n", seconds);
    for (const Size& size : sizes) measure(window, size, seconds);
    return 0;
}
