// How far apart the two panels' pictures are after what a reviewer does: a load in a fresh
// process, a load while the sound device starts a second late, a press on the progress bar,
// 1x -> 16x -> 1x, a switch of the camera heard, and how the gap grows over a long stretch
// at 1x. The gap is that between the media times of the pictures the two panels show,
// sampled every few milliseconds: its median, its 90th percentile and the share of samples
// where the panels show different pictures (both cameras have the same picture times).
// Measurements only: it never fails on a number.
//
// Usage: panel_drift FOLDER [--camera2-sound] [--growth SECONDS]
//   FOLDER keeps the generated D1 recordings between runs (needs the ffmpeg tool); camera 1
//   has sound, camera 2 only with --camera2-sound; the growth stretch is 60 s unless given
//   (600 for ten minutes).

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QKeyEvent>
#include <QListWidget>
#include <QRadioButton>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <thread>
#include <vector>

#include "main_window/DefaultServices.h"
#include "main_window/Form1.h"
#include "platform/graph/FfmpegGraph.h"
#include "platform/graph/GraphFactory.h"
#include "platform/graph/IGraphFactory.h"
#include "player/MonotonicClock.h"
#include "player/SilentAudioOutput.h"
#include "player_control/QVRControl.h"
#include "player_output/QtAudioOutput.h"
#include "support/BenchInput.h"
#include "support/BenchWindow.h"
#include "support/Recordings.h"
#include "util/AllocatorPolicy.h"
#include "util/Failure.h"

// The same source measures commits from before the two cameras shared a clock.
#if __has_include("platform/graph/IPlaybackClock.h")
#define CORVID_SHARED_CLOCK 1
#include "platform/graph/FfmpegPlaybackClock.h"
#include "player/PreparedOpens.h"
#endif
// ... and from before files were read through the player's own storage layer.
#if __has_include("player/LocalFileStorage.h")
#define CORVID_FILE_STORAGE 1
#include "player/LocalFileStorage.h"
#endif

namespace {

using namespace corvid;
using Clock = std::chrono::steady_clock;

// A D1 camera as a two-camera recorder writes it: moving pictures, a key frame every 2 s.
// Both cameras of a pair are on one time base, with or without sound: the first picture at
// 0 and the same length (the sound ends a little before the pictures).
bool makeCamera(const QString& path, double seconds, bool first, bool sound) {
    const QString length = QString::number(seconds);
    QStringList arguments{
        "-v",
        "error",
        "-nostdin",
        "-y",
        "-f",
        "lavfi",
        "-i",
        QString("testsrc2=s=704x576:r=25:d=%1%2").arg(length, first ? "" : ",hue=h=90")};
    if (sound) arguments << bench::toneInput(first ? 440 : 660, seconds);
    arguments << "-c:v" << (first ? "wmv2" : "msmpeg4") << "-b:v"
              << "1500k"
              << "-g"
              << "50";
    if (sound) arguments << bench::toneEncoding();
    arguments << "-f"
              << "asf";
    return bench::writeWithFfmpeg(arguments, path);
}

// A sound device that starts late: sound is taken only from `lateUntil` on, as a device
// still waking up would; everything else is the real output's.
class LateStartOutput : public IAudioOutput {
public:
    LateStartOutput(std::unique_ptr<IAudioOutput> real, Clock::time_point lateUntil)
        : real_(std::move(real)), lateUntil_(lateUntil) {
        starter_ = std::thread([this] {
            std::unique_lock lock(mutex_);
            changed_.wait_until(lock, lateUntil_, [this] { return closing_; });
            late_ = false;
            if (!closing_ && wanted_) real_->setPlaying(true);
        });
    }
    ~LateStartOutput() override {
        {
            std::lock_guard lock(mutex_);
            closing_ = true;
        }
        changed_.notify_all();
        starter_.join();
    }
    int sampleRate() const override { return real_->sampleRate(); }
    std::size_t writable() override { return real_->writable(); }
    void write(const float* samples, std::size_t frames) override { real_->write(samples, frames); }
    void setPlaying(bool playing) override {
        std::lock_guard lock(mutex_);
        wanted_ = playing;
        if (!late_ || !playing) real_->setPlaying(playing);
    }
    void discard() override { real_->discard(); }
    void setGains(float left, float right) override { real_->setGains(left, right); }
    double latency() override { return real_->latency(); }
    double played() override { return real_->played(); }
    bool drivesClock() const override { return real_->drivesClock(); }

private:
    std::unique_ptr<IAudioOutput> real_;
    const Clock::time_point lateUntil_;
    std::mutex mutex_;
    std::condition_variable changed_;
    bool wanted_ = false;
    bool late_ = true;
    bool closing_ = false;
    std::thread starter_;
};

// Real graphs whose sound devices can be made to start late for a while.
class DriftFactory : public IGraphFactory {
public:
    std::shared_ptr<FilgraphManager> CreateFilgraphManager() override {
        FfmpegGraph::Options options;
        options.audioOutput = [this](int sampleRate) -> std::unique_ptr<IAudioOutput> {
            std::unique_ptr<IAudioOutput> real;
            try {
                real = std::make_unique<QtAudioOutput>();
            } catch (const Failure&) {
                real = std::make_unique<SilentAudioOutput>(sampleRate,
                                                           std::make_shared<MonotonicClock>());
            }
            if (Clock::now() >= lateUntil) return real;
            return std::make_unique<LateStartOutput>(std::move(real), lateUntil);
        };
#ifdef CORVID_SHARED_CLOCK
        options.prepared = prepared_;
#endif
        return std::make_shared<FfmpegGraph>(options);
    }

#ifdef CORVID_SHARED_CLOCK
    // As the program's own factory: one clock for the two cameras of a pair, and camera 2
    // opened beside camera 1.
    std::shared_ptr<IPlaybackClock> CreatePlaybackClock() override {
        return std::make_shared<FfmpegPlaybackClock>(std::make_shared<MonotonicClock>());
    }
    void PrepareFile(const std::string& fileName) override {
#ifdef CORVID_FILE_STORAGE
        prepared_->prepare(std::make_shared<LocalFileStorage>(), fileName,
                           FfmpegGraph::Options{}.openTimeout);
#else
        prepared_->prepare(fileName, FfmpegGraph::Options{}.openTimeout);
#endif
    }
#endif

    Clock::time_point lateUntil{};

#ifdef CORVID_SHARED_CLOCK
private:
    std::shared_ptr<PreparedOpens> prepared_ = std::make_shared<PreparedOpens>();
#endif
};

struct Gap {
    double median = 0, p90 = 0, differentShare = 0;
};

class Drift {
public:
    explicit Drift(bench::BenchWindow& window) : window_(window) {}

    std::shared_ptr<FfmpegGraph> graph(int camera) {
        return window_.probe().graphIn(camera == 1 ? &window_.camera1() : &window_.camera2());
    }

    // Waits until both panels' pictures move (a sound device may take its time to start).
    bool bothMoving(int ms = 8000) {
        auto g1 = graph(1);
        auto g2 = graph(2);
        if (!g1 || !g2) return false;
        const double from1 = g1->shownPictureTime();
        const double from2 = g2->shownPictureTime();
        return window_.waitUntil(
            [&] { return g1->shownPictureTime() != from1 && g2->shownPictureTime() != from2; }, ms);
    }

    // The gap between the pictures shown, sampled every few milliseconds for `ms`.
    Gap sample(int ms) {
        auto g1 = graph(1);
        auto g2 = graph(2);
        std::vector<double> gaps;
        QElapsedTimer wall;
        wall.start();
        while (wall.elapsed() < ms) {
            QApplication::processEvents(QEventLoop::AllEvents, 2);
            gaps.push_back(std::abs(g1->shownPictureTime() - g2->shownPictureTime()));
            std::this_thread::sleep_for(std::chrono::milliseconds(3));
        }
        std::sort(gaps.begin(), gaps.end());
        Gap gap;
        if (gaps.empty()) return gap;
        gap.median = 1000 * gaps[gaps.size() / 2];
        gap.p90 = 1000 * gaps[gaps.size() * 9 / 10];
        gap.differentShare =
            100.0 * std::count_if(gaps.begin(), gaps.end(), [](double g) { return g > 0.001; }) /
            static_cast<double>(gaps.size());
        return gap;
    }

    void report(const char* what, bool moving, const Gap& gap) {
        std::printf("  %-30s gap median %8.1f ms  p90 %8.1f ms  different pictures %5.1f %%%s\n",
                    what, gap.median, gap.p90, gap.differentShare,
                    moving ? "" : "  (a panel did not move)");
        std::fflush(stdout);
    }

    // After an action: both moving, half a second to settle, two seconds of samples.
    void measure(const char* what) {
        const bool moving = bothMoving();
        bench::BenchInput::runFor(500);
        report(what, moving, sample(2000));
    }

private:
    bench::BenchWindow& window_;
};

}  // namespace

int main(int argc, char** argv) {
    AllocatorPolicy::shareOneArena();  // as the program does
    QApplication app(argc, argv);
    corvid::installDefaultServices();
    if (argc < 2) {
        std::fprintf(stderr, "usage: panel_drift FOLDER [--camera2-sound] [--growth SECONDS]\n");
        return 2;
    }
    bool camera2Sound = false;
    double growthSeconds = 60;
    for (int i = 2; i < argc; ++i) {
        const QString argument = argv[i];
        if (argument == "--camera2-sound") {
            camera2Sound = true;
        } else if (argument == "--growth" && i + 1 < argc) {
            growthSeconds = std::atof(argv[++i]);
        } else {
            std::fprintf(stderr, "panel_drift: unknown argument %s\n", argv[i]);
            return 2;
        }
    }

    // The growth stretch plays from the start; the rest stays within the first minute.
    const double length = std::max(90.0, growthSeconds + 20.0);
    const QString folder = QString("%1/pair-%2-%3s")
                               .arg(argv[1], camera2Sound ? "sound" : "silent")
                               .arg(static_cast<int>(length));
    QDir().mkpath(folder);
    const QString camera1 = folder + "/drift-1.asf";
    const QString camera2 = folder + "/drift-2.asf";
    if ((!QFile::exists(camera1) && !makeCamera(camera1, length, true, true)) ||
        (!QFile::exists(camera2) && !makeCamera(camera2, length, false, camera2Sound))) {
        std::fprintf(stderr, "panel_drift: cannot make the recordings (is ffmpeg installed?)\n");
        return 2;
    }
    // A second line for the same pair, so that a load is always a click on another line.
    // A copy, not a link: the list shows ordinary files only.
    for (const char* camera : {"1", "2"}) {
        const QString again = folder + "/again-" + camera + ".asf";
        if (QFileInfo(again).size() != QFileInfo(folder + "/drift-" + camera + ".asf").size()) {
            QFile::remove(again);
            QFile::copy(folder + "/drift-" + camera + ".asf", again);
        }
    }

    auto factory = std::make_shared<DriftFactory>();
    GraphFactory::Scoped scope(factory);
    bench::BenchWindow window(folder);
    Drift drift(window);
    QWidget* keys = window.form().lsASF;

    std::printf("panel_drift: D1 pair, camera 1 with sound, camera 2 %s sound\n",
                camera2Sound ? "with" : "without");
    window.clickLine("AB\tdrift");
    drift.measure("load (fresh process)");

    factory->lateUntil = Clock::now() + std::chrono::seconds(1);
    window.clickLine("AB\tagain");
    drift.measure("load, device 1 s late");

    window.pressBar(0.1);
    window.releaseBar(0.1);
    drift.measure("bar press at 10%");

    for (int i = 0; i < 4; ++i) bench::BenchInput::pressKey(keys, Qt::Key_BracketRight);
    bench::BenchInput::runFor(3000);
    bench::BenchInput::pressKey(keys, Qt::Key_Backspace);
    drift.measure("1x -> 16x (3 s) -> 1x");

    window.form().optRight->click();
    drift.measure("Cam1 -> Cam2");
    window.form().optLeft->click();
    drift.measure("Cam2 -> Cam1");

    window.clickLine("AB\tdrift");
    drift.bothMoving();
    bench::BenchInput::runFor(500);
    const Gap start = drift.sample(2000);
    bench::BenchInput::runFor(static_cast<int>(growthSeconds * 1000));
    const Gap end = drift.sample(2000);
    char what[64];
    std::snprintf(what, sizeof what, "growth over %.0f s at 1x", growthSeconds);
    std::printf("  %-30s median %.1f ms -> %.1f ms (growth %+.1f ms)\n", what, start.median,
                end.median, end.median - start.median);
    return 0;
}
