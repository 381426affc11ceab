#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <memory>
#include <string>
#include <thread>

#include "platform/graph/ClockHold.h"
#include "platform/graph/FfmpegGraph.h"
#include "platform/graph/FfmpegPlaybackClock.h"
#include "support/Eventually.h"
#include "support/ManualClock.h"
#include "support/ManualSoundDevices.h"
#include "support/ManualSoundOutput.h"
#include "support/TestMedia.h"

namespace corvid {
namespace {

using test::eventually;
using test::MediaRecipe;
using test::TestMedia;

// Two graphs on one playback clock, as the main window plays a pair, on the manual clock
// with sound devices that take the sound at its pace: camera 1 is heard, camera 2 not.
class LockstepGraphTest : public ::testing::Test {
protected:
    static std::string camera(std::uint32_t colour, int toneHz) {
        MediaRecipe recipe;
        recipe.width = 176;
        recipe.height = 144;
        recipe.seconds = 12;
        recipe.colour = colour;
        recipe.toneHz = toneHz;
        return TestMedia::make(recipe);
    }

    std::shared_ptr<FfmpegGraph> openOnClock(const std::string& path, ManualSoundOutput*& device) {
        FfmpegGraph::Options options;
        options.clock = time;
        options.audioOutput = [this, &device](int rate) {
            auto output = std::make_unique<ManualSoundOutput>(rate, time, 0.2, devices);
            device = output.get();
            return output;
        };
        auto graph = std::make_shared<FfmpegGraph>(options);
        graph->FollowClock(clock);
        graph->RenderFile(path);
        return graph;
    }

    // The pair loaded and playing as the window does it: camera 1 heard, camera 2 silenced.
    void load() {
        {
            const ClockHold hold(clock);
            camera1 = openOnClock(camera(0x4060C0, 440), device1);
            camera2 = openOnClock(camera(0xC06040, 660), device2);
            // The window chooses the camera heard once both are set up: each has decoded
            // some sound by then, and waits for the clock to write it.
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
            camera1->put_Volume(0);
            camera2->put_Volume(-10000);
            both([](FfmpegGraph& g) { g.Run(); });
        }
        ASSERT_TRUE(samePicture());
    }

    template <typename Command>
    void both(Command&& command) {
        const ClockHold hold(clock);
        command(*camera1);
        command(*camera2);
    }

    // Moves time on in 10 ms steps, each once the devices that play hold the sound for it
    // (no longer waited for once a device gets none: sound dropped at a fast rate), and
    // lets the threads see each step, as they would see real time go by.
    void play(double seconds) {
        constexpr double kStep = 0.01;
        bool fed = true;
        for (double done = 0; done < seconds - 1e-9; done += kStep) {
            if (fed) fed = devices->waitUntilFed(kStep, 300);
            time->advance(kStep);
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
    }

    // Both cameras at one position, showing the picture of one time (the files have the
    // same picture times); waits for the presenters, as the manual clock stands still.
    ::testing::AssertionResult samePicture() {
        const double p1 = camera1->get_CurrentPosition();
        const double p2 = camera2->get_CurrentPosition();
        if (std::abs(p1 - p2) > 1e-9)
            return ::testing::AssertionFailure() << "positions " << p1 << " and " << p2;
        // The picture due: the last one that starts at or before the position (the first
        // one before it starts).
        const auto due = [&](FfmpegGraph& g) {
            const double shown = g.shownPictureTime();
            return shown <= std::max(p1, 0.05) + 0.002 && shown > p1 - 0.04 - 1e-6;
        };
        if (eventually(
                [&] {
                    return due(*camera1) && due(*camera2) &&
                           camera1->shownPictureTime() == camera2->shownPictureTime();
                },
                5000))
            return ::testing::AssertionSuccess();
        return ::testing::AssertionFailure()
               << "at " << p1 << " pictures " << camera1->shownPictureTime() << " and "
               << camera2->shownPictureTime();
    }

    std::shared_ptr<ManualClock> time = std::make_shared<ManualClock>();
    std::shared_ptr<FfmpegPlaybackClock> clock = std::make_shared<FfmpegPlaybackClock>(time);
    std::shared_ptr<ManualSoundDevices> devices = std::make_shared<ManualSoundDevices>();
    std::shared_ptr<FfmpegGraph> camera1;
    std::shared_ptr<FfmpegGraph> camera2;
    ManualSoundOutput* device1 = nullptr;
    ManualSoundOutput* device2 = nullptr;
};

TEST_F(LockstepGraphTest, load_startsBothAtOneInstant_andTheCameraNotHeardPlaysNoSound) {
    load();
    play(2.0);
    // The clock follows the sound heard, whose first sample is stamped a little late.
    EXPECT_NEAR(camera1->get_CurrentPosition(), 2.0, 0.12);
    EXPECT_TRUE(samePicture());
    EXPECT_GT(device1->heardSeconds(), 1.5);
    EXPECT_FALSE(device2->playing());
    EXPECT_EQ(device2->heardSeconds(), 0.0);
    // Nothing is written for it, not even what it had decoded when it was silenced: a
    // sound device would make a stream for it.
    EXPECT_EQ(device2->writtenSeconds(), 0.0);
}

TEST_F(LockstepGraphTest, heldClock_keepsOnePictureReady_andDecodingGoesOnOnceLetGo) {
    {
        const ClockHold hold(clock);
        camera1 = openOnClock(camera(0x4060C0, 440), device1);
        camera2 = openOnClock(camera(0xC06040, 660), device2);
        // While the pair loads, each camera shows its first picture and decodes one more.
        ASSERT_TRUE(eventually([&] { return camera1->picturesAhead() == 1; }, 5000));
        ASSERT_TRUE(eventually([&] { return camera2->picturesAhead() == 1; }, 5000));
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        EXPECT_EQ(camera1->picturesAhead(), 1u);
        EXPECT_EQ(camera2->picturesAhead(), 1u);
    }
    // Let go, both decode ahead of the clock (which stands still) until their queues fill.
    both([](FfmpegGraph& g) { g.Run(); });
    EXPECT_TRUE(eventually([&] { return camera1->picturesAhead() > 2; }, 5000));
    EXPECT_TRUE(eventually([&] { return camera2->picturesAhead() > 2; }, 5000));
    EXPECT_TRUE(samePicture());
}

TEST_F(LockstepGraphTest, lateSoundDevice_delaysBothCamerasAlike) {
    {
        const ClockHold hold(clock);
        camera1 = openOnClock(camera(0x4060C0, 440), device1);
        camera2 = openOnClock(camera(0xC06040, 660), device2);
        device1->startAt(1.0);  // the first stream after start-up, a second late
        camera2->put_Volume(-10000);
        both([](FfmpegGraph& g) { g.Run(); });
    }
    play(0.9);
    EXPECT_LT(camera1->get_CurrentPosition(), 0.2);
    EXPECT_TRUE(samePicture());
    play(2.0);
    EXPECT_NEAR(camera1->get_CurrentPosition(), 2.0, 0.2);
    EXPECT_TRUE(samePicture());
}

TEST_F(LockstepGraphTest, soundDeviceThatStallsAndResumes_neverHoldsEitherPicture) {
    load();
    play(2.0);
    device1->setStalled(true);
    const double stalledAt = camera1->get_CurrentPosition();
    play(1.0);
    EXPECT_GT(camera1->get_CurrentPosition() - stalledAt, 1.0 - 0.3);
    EXPECT_TRUE(samePicture());
    device1->setStalled(false);
    const double resumedAt = camera1->get_CurrentPosition();
    play(1.0);
    EXPECT_GT(camera1->get_CurrentPosition() - resumedAt, 0.7);
    EXPECT_TRUE(samePicture());
}

TEST_F(LockstepGraphTest, seeksBothWays_andFrameSteps_keepOnePicture) {
    load();
    play(0.5);
    for (double target : {8.0, 1.2, 10.52, 0.0, 5.0}) {
        both([&](FfmpegGraph& g) { g.put_CurrentPosition(target); });
        EXPECT_DOUBLE_EQ(camera1->get_CurrentPosition(), target);
        EXPECT_TRUE(samePicture()) << target;
        play(0.3);
        EXPECT_TRUE(samePicture()) << target;
    }
    for (int frames : {1, 1, 3, -1, -2, 1}) {
        both([&](FfmpegGraph& g) { g.Step(frames); });
        EXPECT_TRUE(samePicture()) << frames;
    }
    both([](FfmpegGraph& g) { g.Run(); });
    play(0.4);
    EXPECT_TRUE(samePicture());
}

TEST_F(LockstepGraphTest, everySpeed_from8thTo16x_andBack_keepsOnePicture) {
    load();
    play(0.2);
    for (double rate : {0.125, 0.25, 0.5, 1.0, 2.0, 4.0, 8.0, 16.0, 4.0, 1.0, 0.125, 1.0}) {
        both([&](FfmpegGraph& g) { g.put_Rate(rate); });
        const double from = camera1->get_CurrentPosition();
        play(0.25);
        // Sound made for the speed before is dropped, so the clock keeps the new pace.
        EXPECT_NEAR(camera1->get_CurrentPosition() - from, 0.25 * rate, 0.1 * rate + 0.03) << rate;
        EXPECT_TRUE(samePicture()) << rate;
        if (camera1->get_CurrentPosition() > 9)
            both([](FfmpegGraph& g) { g.put_CurrentPosition(1); });
    }
}

TEST_F(LockstepGraphTest, pauseAndPlay_andCameraSwitch_moveBothWithoutAJump) {
    load();
    play(1.0);
    both([](FfmpegGraph& g) { g.Pause(); });
    const double paused = camera1->get_CurrentPosition();
    play(0.5);
    EXPECT_DOUBLE_EQ(camera1->get_CurrentPosition(), paused);
    both([](FfmpegGraph& g) { g.Run(); });
    play(0.5);
    EXPECT_NEAR(camera1->get_CurrentPosition(), paused + 0.5, 0.05);
    EXPECT_TRUE(samePicture());

    // Cam2 heard: camera 2's sound starts where the clock is, camera 1's stops.
    const double before = camera1->get_CurrentPosition();
    camera2->put_Volume(0);
    camera1->put_Volume(-10000);
    double last = before;
    for (int i = 0; i < 50; ++i) {
        play(0.02);
        const double now = camera1->get_CurrentPosition();
        EXPECT_GE(now, last);
        EXPECT_LT(now - last, 0.05);  // no leap
        last = now;
    }
    EXPECT_NEAR(last - before, 1.0, 0.1);
    EXPECT_TRUE(device2->playing());
    EXPECT_FALSE(device1->playing());
    EXPECT_GT(device2->heardSeconds(), 0.5);
    EXPECT_TRUE(samePicture());
}

TEST_F(LockstepGraphTest, end_stopsTheStreamHeard_andASeekBackPlaysItAgain) {
    load();
    both([](FfmpegGraph& g) { g.put_CurrentPosition(11.5); });
    play(1.0);  // past the end, where the stream would play only silence
    EXPECT_TRUE(eventually([&] { return !device1->playing(); }, 5000));
    both([](FfmpegGraph& g) { g.put_CurrentPosition(5.0); });
    EXPECT_TRUE(eventually([&] { return device1->playing(); }, 5000));
    const double heard = device1->heardSeconds();
    play(0.5);
    EXPECT_GT(device1->heardSeconds(), heard + 0.3);
    EXPECT_NEAR(camera1->get_CurrentPosition(), 5.5, 0.1);
    EXPECT_TRUE(samePicture());
}

}  // namespace
}  // namespace corvid
