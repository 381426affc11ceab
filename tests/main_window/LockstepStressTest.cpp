#include <gtest/gtest.h>

#include <QAction>
#include <QListWidget>
#include <QRadioButton>
#include <QTest>
#include <chrono>
#include <memory>
#include <random>
#include <sstream>
#include <thread>

#include "main_window/Form1.h"
#include "media_engine/clsDShowControl.h"
#include "platform/file_views/FolderList.h"
#include "platform/graph/GraphFactory.h"
#include "platform/widgets/ScrollBar.h"
#include "player_control/QVRControl.h"
#include "support/Eventually.h"
#include "support/ManualClockWindowTest.h"
#include "support/TestMedia.h"

namespace corvid {
namespace {

using test::MediaRecipe;
using test::TestMedia;

// Thousands of random interleavings of what a reviewer does with a pair (play, pause,
// seeks both ways, frame steps, speed keys, the camera heard, the volume, running to the
// end, stopping and loading again) on real graphs over the manual clock, with sound
// devices that drive the clock and now and then stop taking sound. After every Play both
// cameras must move, together.
class LockstepStressTest : public test::ManualClockWindowTest,
                           public ::testing::WithParamInterface<unsigned> {
protected:
    void SetUp() override {
        graphs->soundDevices = true;
        for (int camera : {1, 2}) {
            MediaRecipe recipe;
            recipe.width = 128;
            recipe.height = 96;
            recipe.seconds = 6;
            recipe.colour = camera == 1 ? 0x4060C0 : 0xC06040;
            recipe.toneHz = camera == 1 ? 440 : 660;
            copy(TestMedia::make(recipe), QString("p-%1.asf").arg(camera));
        }
        showWindow();
        load();
    }

    void load() {
        form->lsASF->setCurrentRow(-1);
        form->lsASF->setCurrentRow(0);
    }

    void key(int key, Qt::KeyboardModifiers modifiers = {}) {
        QTest::keyClick(form->lsASF, static_cast<Qt::Key>(key), modifiers);
    }

    // Waits until every camera shows the first picture of its latest seek, so that the
    // clock moves again: seeks are decoded in real time, which a busy machine slows down.
    void settle() {
        const std::shared_ptr<FfmpegPlaybackClock> shared = graphs->playbackClock.lock();
        if (!shared) return;
        EXPECT_TRUE(test::eventually([&] { return !shared->clock()->held(); }, 30000))
            << "a camera never showed the first picture of its seek";
    }

    // Moves the manual clock on in 10 ms steps, keeping the sound devices fed.
    void play(double seconds) {
        settle();
        constexpr double kStep = 0.01;
        bool fed = true;
        for (double done = 0; done < seconds - 1e-9; done += kStep) {
            if (fed) fed = graphs->devices->waitUntilFed(kStep, 200);
            time->advance(kStep);
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        QCoreApplication::processEvents();
    }

    double duration(QVRControl* panel) { return panel->engine()->DS_GetDuration(); }

    // Both cameras move on after a Play, at one position (the files are alike); a sound
    // device that stopped may hold them for the stall limit at most.
    void checkBothMove(const std::string& history) {
        play(0.25);
        const double a1 = position(1);
        const double a2 = position(2);
        play(0.12);
        const double b1 = position(1);
        const double b2 = position(2);
        const bool ended = b1 >= duration(form->QVRControl1) - 0.01;
        EXPECT_TRUE(ended || (b1 > a1 && b2 > a2))
            << "a camera stood still after Play: " << a1 << " -> " << b1 << ", " << a2 << " -> "
            << b2 << "\n"
            << history;
        EXPECT_NEAR(b1, b2, 1e-6) << history;
    }
};

TEST_P(LockstepStressTest, afterEveryPlay_bothCamerasMoveTogether) {
    std::mt19937 random(GetParam());
    std::ostringstream history;
    bool stalled = false;
    constexpr int kActions = 500;
    for (int i = 0; i < kActions && !HasFailure(); ++i) {
        const int action = std::uniform_int_distribution<int>(0, 17)(random);
        history << action << ' ';
        settle();
        bool pressedPlay = false;
        switch (action) {
            case 0:
                pressedPlay = !form->isPlaying();
                key(Qt::Key_Space);
                break;
            case 1:
                key(Qt::Key_Right);
                break;
            case 2:
                key(Qt::Key_Left);
                break;
            case 3:
                key(Qt::Key_Right, Qt::ShiftModifier);
                break;
            case 4:
                key(Qt::Key_Left, Qt::ShiftModifier);
                break;
            case 5:
                key(Qt::Key_Period);
                break;
            case 6:
                key(Qt::Key_Comma);
                break;
            case 7:
                key(Qt::Key_BracketRight);
                break;
            case 8:
                key(Qt::Key_BracketLeft);
                break;
            case 9:
                key(Qt::Key_Backspace);
                break;
            case 10:
                form->optLeft->click();
                break;
            case 11:
                form->optRight->click();
                break;
            case 12:
                form->hsVol->SetValue(std::uniform_int_distribution<int>(0, 150)(random));
                break;
            case 13:  // run to the end
                form->P1_MouseDown(1, 0, form->P1Width() * 0.97f, 0);
                form->P1_MouseUp(1, 0, form->P1Width() * 0.97f, 0);
                pressedPlay = true;
                play(0.6);
                break;
            case 14:  // Stop, and load the pair again
                if (form->mnuClose->isEnabled()) form->mnuClose->trigger();
                load();
                pressedPlay = true;
                break;
            case 15: {
                const float x =
                    form->P1Width() * std::uniform_real_distribution<float>(0.0f, 1.0f)(random);
                form->P1_MouseDown(1, 0, x, 0);
                form->P1_MouseUp(1, 0, x, 0);
                pressedPlay = true;
                break;
            }
            case 17:
                stalled = !stalled;
                graphs->devices->setStalled(stalled);
                break;
            default:
                play(0.1);
                break;
        }
        EXPECT_EQ(messages.count(), 0)
            << "after action " << i << ": " << messages.texts().join(" | ").toStdString() << "\n"
            << history.str();
        if (pressedPlay && form->isPlaying()) checkBothMove(history.str());
    }
}

INSTANTIATE_TEST_SUITE_P(Seeds, LockstepStressTest, ::testing::Values(1u, 2u, 3u, 4u));

}  // namespace
}  // namespace corvid
