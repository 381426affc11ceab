// How far apart the two panels' pictures are when the two files of a recording differ, after
// what a reviewer does with each pair:
//   - cameras 60 s and 50 s long: a click on the shared bar at 70%, then pause;
//   - 25 and 30 pictures a second: pause, then 30 frame steps forward;
//   - key frames every 2 s and every 1.4 s: a clip marked with I and O, exported with Ctrl+E,
//     its pair loaded from the list, played for a second and paused.
// Both cameras have sound and start together, and every picture shows its frame number.
// Paused, the numbers are read from the panels' pixels and turned into media times (the
// number over the camera's picture rate; an exported clip keeps its source's numbers); the
// gap between them is printed beside the target, one picture interval of the slower camera.
// Measurements only: it never fails on a number.
//
// Usage: pair_gap FOLDER
//   FOLDER keeps the generated D1 recordings between runs (needs the ffmpeg tool).

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QListWidget>
#include <QTest>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>
#include <stdexcept>

#include "main_window/DefaultServices.h"
#include "main_window/Form1.h"
#include "platform/widgets/MessageBox.h"
#include "player_control/QVRControl.h"
#include "support/BenchWindow.h"
#include "support/Recordings.h"
#include "util/AllocatorPolicy.h"

using namespace corvid;
using namespace corvid::bench;

namespace {

// The two cameras of one recording in the folder, listed as "AB\t" + name.
struct Pair {
    QString name;
    NumberedCamera camera1;
    NumberedCamera camera2;
};

NumberedCamera camera(int number, double seconds, double fps, double keyFrameSeconds) {
    NumberedCamera camera;
    camera.seconds = seconds;
    camera.fps = fps;
    camera.keyFrameSeconds = keyFrameSeconds;
    camera.colour = number == 1 ? 0xC03030 : 0x3050D0;
    camera.toneHz = number == 1 ? 440 : 880;
    // As a two-camera recorder writes them, though with sound in both.
    camera.videoCodec = number == 1 ? "wmv2" : "msmpeg4";
    return camera;
}

const Pair kLengths{"lengths", camera(1, 60, 25, 2), camera(2, 50, 25, 2)};
const Pair kRates{"rates", camera(1, 20, 25, 2), camera(2, 20, 30, 2)};
const Pair kKeyFrames{"keys", camera(1, 20, 25, 2), camera(2, 20, 25, 1.4)};

// The frame numbers the two panels show; -1 where none can be read.
struct Shown {
    int camera1 = -1;
    int camera2 = -1;
    bool readable() const { return camera1 >= 0 && camera2 >= 0; }
};

class Reviewer {
public:
    explicit Reviewer(BenchWindow& window) : window_(window) {}

    Shown shown() {
        return {readFrameNumber(window_.camera1().PicVid),
                readFrameNumber(window_.camera2().PicVid)};
    }

    // A key pressed where the focus is, as a user types it.
    void press(Qt::Key key, Qt::KeyboardModifiers modifiers = {}) {
        QWidget* focus = QApplication::focusWidget();
        QTest::keyClick(focus != nullptr ? focus : &window_.form(), key, modifiers);
    }

    void load(const QString& line) {
        window_.clickLine(line);
        bothMoving();
    }

    // Waits until both panels' pictures move on (sound devices may take their time).
    bool bothMoving() {
        QTest::qWait(300);
        const Shown from = shown();
        return window_.waitUntil(
            [&] {
                const Shown now = shown();
                return now.readable() && now.camera1 > from.camera1 && now.camera2 > from.camera2;
            },
            8000);
    }

    // A click on the shared bar; returns once both panels show pictures of the new place.
    void clickBar(double fraction) {
        const Shown from = shown();
        window_.pressBar(fraction);
        window_.releaseBar(fraction);
        window_.waitUntil(
            [&] {
                const Shown now = shown();
                return now.readable() && now.camera1 != from.camera1 && now.camera2 != from.camera2;
            },
            8000);
    }

    // Pauses where playing, and gives the last pictures time to be drawn.
    void pause() {
        if (window_.form().mnuPlay->text() == "Pause") press(Qt::Key_Space);
        QTest::qWait(1000);
    }

    // One frame step forward: until a panel shows another picture, and a little more for
    // the other panel's.
    void stepForward() {
        const Shown from = shown();
        press(Qt::Key_Period);
        window_.waitUntil(
            [&] {
                const Shown now = shown();
                return now.camera1 != from.camera1 || now.camera2 != from.camera2;
            },
            1000);
        QTest::qWait(150);
    }

    // The line of the clip exported from `pair`, as the list shows it.
    QString clipLine(const Pair& pair) const {
        const QString start = "AB\t" + pair.name + "-clip-";
        for (int row = 0; row < window_.form().lsASF->count(); ++row) {
            const QString line = window_.form().lsASF->item(row)->text();
            if (line.startsWith(start)) return line;
        }
        throw std::runtime_error("The exported clip is not listed");
    }

    // Does what a reviewer does with `pair`, then prints the gap between the two pictures
    // shown, in media seconds, beside the target; a case that cannot be carried out says
    // why in place of the gap, and the next one runs.
    void measure(const char* what, const Pair& pair, const std::function<void()>& actions) {
        const double target = std::max(1 / pair.camera1.fps, 1 / pair.camera2.fps);
        Shown now;
        try {
            actions();
            now = shown();
        } catch (const std::exception& failure) {
            std::printf("  %-42s gap n/a (%s)  target %.3f s\n", what, failure.what(), target);
            return;
        }
        if (now.readable()) {
            const double time1 = now.camera1 / pair.camera1.fps;
            const double time2 = now.camera2 / pair.camera2.fps;
            std::printf("  %-42s gap %.3f s (pictures %d / %d, %.3f / %.3f s)  target %.3f s\n",
                        what, std::abs(time1 - time2), now.camera1, now.camera2, time1, time2,
                        target);
        } else {
            std::printf(
                "  %-42s gap n/a (pictures %d / %d unreadable at %.3f / %.3f s)  "
                "target %.3f s\n",
                what, now.camera1, now.camera2, window_.camera1().engine()->DS_GetPosition(),
                window_.camera2().engine()->DS_GetPosition(), target);
        }
        std::fflush(stdout);
    }

private:
    BenchWindow& window_;
};

}  // namespace

int main(int argc, char** argv) {
    AllocatorPolicy::shareOneArena();  // as the program does
    QApplication app(argc, argv);
    corvid::installDefaultServices();
    if (argc < 2) {
        std::fprintf(stderr, "usage: pair_gap FOLDER\n");
        return 2;
    }
    const QString folder = QString(argv[1]);
    QDir().mkpath(folder);
    for (const Pair* pair : {&kLengths, &kRates, &kKeyFrames}) {
        if (!makeNumberedCamera(folder + "/" + pair->name + "-1.asf", pair->camera1) ||
            !makeNumberedCamera(folder + "/" + pair->name + "-2.asf", pair->camera2)) {
            std::fprintf(stderr, "pair_gap: cannot make the recordings (is ffmpeg installed?)\n");
            return 2;
        }
    }
    // An export never replaces a file: the clips of an earlier run go first.
    for (const QString& clip : QDir(folder).entryList({kKeyFrames.name + "-clip-*"}, QDir::Files))
        QFile::remove(folder + "/" + clip);

    // A message box would wait for a user: its text is printed instead.
    MessageBox::Scoped messages([](QWidget*, const QString& text) {
        std::fprintf(stderr, "pair_gap: message: %s\n", qPrintable(text));
    });
    BenchWindow window(folder);
    Reviewer reviewer(window);
    std::printf(
        "pair_gap: D1 pairs whose pictures show their number, sound in both cameras, "
        "one start; paused\n");

    reviewer.measure("bar click at 70%, 60 s and 50 s", kLengths, [&] {
        reviewer.load("AB\t" + kLengths.name);
        reviewer.clickBar(0.7);
        reviewer.pause();
    });

    reviewer.measure("30 frame steps, 25 and 30 fps", kRates, [&] {
        reviewer.load("AB\t" + kRates.name);
        reviewer.pause();
        for (int step = 0; step < 30; ++step) reviewer.stepForward();
        QTest::qWait(1000);
    });

    reviewer.measure("clip pair, key frames every 2 s and 1.4 s", kKeyFrames, [&] {
        reviewer.load("AB\t" + kKeyFrames.name);
        const double length = std::max(kKeyFrames.camera1.seconds, kKeyFrames.camera2.seconds);
        // The clip starts where the key frames before it lie 0.8 s apart: camera 1's at 2 s,
        // camera 2's at 2.8 s.
        reviewer.clickBar(3.3 / length);
        reviewer.pause();
        reviewer.press(Qt::Key_I);
        reviewer.clickBar(8.3 / length);
        reviewer.pause();
        reviewer.press(Qt::Key_O);
        reviewer.press(Qt::Key_E, Qt::ControlModifier);
        reviewer.load(reviewer.clipLine(kKeyFrames));
        QTest::qWait(1000);
        reviewer.pause();
    });
    return 0;
}
