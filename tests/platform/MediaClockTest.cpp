#include "player/MediaClock.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>

#include "support/ManualClock.h"

namespace corvid {
namespace {

// What a sound server reports as heard: it takes sound in 20 ms bursts, plays it after
// its own latency, and its reports wobble by a few milliseconds.
struct ServerModel {
    double startedAt = 0;  // when sound began to be heard
    double stalledFrom = -1, stalledUntil = -1;

    double heard(double now) const {
        double playing = now - startedAt;
        if (stalledFrom >= 0 && now > stalledFrom)
            playing -= std::min(now, stalledUntil) - stalledFrom;
        if (playing <= 0) return 0;
        const double burst = std::floor(playing / 0.02);
        return burst * 0.02 + 0.004 * std::sin(burst * 1.7);
    }
};

class MediaClockTest : public ::testing::Test {
protected:
    std::shared_ptr<ManualClock> time = std::make_shared<ManualClock>();
    MediaClock clock{time};

    // Steps time by 5 ms, reporting the heard sound as an audio decoder would; checks
    // that the clock never goes back. Returns the clock's position at the end.
    double play(const ServerModel& server, double seconds) {
        double last = clock.position();
        const int steps = static_cast<int>(std::lround(seconds / 0.005));
        for (int i = 0; i < steps; ++i) {
            time->advance(0.005);
            clock.syncToAudio(server.heard(time->now()));
            const double now = clock.position();
            EXPECT_GE(now, last) << "went back at " << time->now();
            last = now;
        }
        return last;
    }
};

TEST_F(MediaClockTest, syncToAudio_followsBurstySoundAtTheMediaRate_withoutGoingBack) {
    ServerModel server;
    clock.run();
    play(server, 1.0);
    const double from = clock.position();
    const double to = play(server, 20.0);
    EXPECT_NEAR(to - from, 20.0, 20.0 * 0.005);
    EXPECT_NEAR(to, server.heard(time->now()), 0.025);  // in step with what is heard
}

TEST_F(MediaClockTest, syncToAudio_waitsForLateSound_insteadOfRunningAheadOrJumpingBack) {
    // The server starts the stream 0.8 s late, then stalls for half a second.
    ServerModel server;
    server.startedAt = 0.8;
    server.stalledFrom = 3.0;
    server.stalledUntil = 3.5;
    clock.run();
    EXPECT_LT(play(server, 0.8), 0.1);
    const double started = play(server, 1.5);
    EXPECT_NEAR(started, server.heard(time->now()), 0.03);
    play(server, 0.7);  // the stall
    EXPECT_LT(clock.position() - server.heard(time->now()), 0.08);
    play(server, 2.0);
    EXPECT_NEAR(clock.position(), server.heard(time->now()), 0.03);
}

TEST_F(MediaClockTest, syncToAudio_leapsToSoundFarAhead_andIgnoresItWhilePausedOrHeld) {
    clock.run();
    time->advance(1.0);
    clock.syncToAudio(3.0);
    EXPECT_DOUBLE_EQ(clock.position(), 3.0);

    clock.pause();
    clock.syncToAudio(0.5);
    time->advance(1.0);
    EXPECT_DOUBLE_EQ(clock.position(), 3.0);

    clock.run();
    clock.hold(1);
    clock.syncToAudio(9.0);
    time->advance(1.0);
    EXPECT_DOUBLE_EQ(clock.position(), 3.0);
}

TEST_F(MediaClockTest, pauseAndRun_freezeExactly_andContinueFromThere_whileCatchingUp) {
    clock.run();
    time->advance(1.0);
    clock.syncToAudio(0.9);  // sound behind: the clock is slowing down
    time->advance(0.1);
    const double paused = clock.position();
    clock.pause();
    time->advance(5.0);
    EXPECT_DOUBLE_EQ(clock.position(), paused);
    clock.run();
    EXPECT_DOUBLE_EQ(clock.position(), paused);
    time->advance(1.0);
    EXPECT_NEAR(clock.position(), paused + 1.0, 1e-9);  // at the plain rate once resumed
}

TEST_F(MediaClockTest, syncToAudio_catchesUpAtTheRate_withoutAudioAfterwards) {
    clock.setRate(0.5);
    clock.run();
    time->advance(1.0);
    clock.syncToAudio(0.55);  // 50 ms ahead of the clock
    time->advance(2.0);
    // The gap is closed within the catch-up time, then the clock runs at the rate alone.
    EXPECT_NEAR(clock.position(), 0.55 + 2.0 * 0.5, 1e-9);
}

}  // namespace
}  // namespace corvid
