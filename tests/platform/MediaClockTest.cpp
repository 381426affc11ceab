#include "player/MediaClock.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>

#include "player/PlaybackClock.h"
#include "support/ManualClock.h"

namespace corvid {
namespace {

// What a sound server reports as heard: it takes sound in 20 ms bursts, plays it after
// its own latency, and its reports wobble by a few milliseconds.
struct ServerModel {
    double startedAt = 0;  // when sound began to be heard
    double stalledFrom = -1, stalledUntil = -1;

    double heard(double now) const {
        const double burst = std::floor(played(now) / 0.02);
        return burst * 0.02 + 0.004 * std::sin(burst * 1.7);
    }
    // What the device has played in all, as it reports it: in 20 ms bursts.
    double played(double now) const {
        double playing = now - startedAt;
        if (stalledFrom >= 0 && now > stalledFrom)
            playing -= std::min(now, stalledUntil) - stalledFrom;
        return std::max(0.0, std::floor(playing / 0.02) * 0.02);
    }
};

class MediaClockTest : public ::testing::Test {
protected:
    MediaClockTest() { clock.setSoundSource(true); }

    std::shared_ptr<ManualClock> time = std::make_shared<ManualClock>();
    MediaClock clock{time};

    // Steps time by 5 ms, reporting the heard sound as an audio decoder would; checks
    // that the clock never goes back. Returns the clock's position at the end.
    double play(const ServerModel& server, double seconds) {
        double last = clock.position();
        const int steps = static_cast<int>(std::lround(seconds / 0.005));
        for (int i = 0; i < steps; ++i) {
            time->advance(0.005);
            clock.syncToAudio(server.heard(time->now()), 0, server.played(time->now()));
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
    // The server starts the stream 0.8 s late, then stalls for less than the stall limit.
    ServerModel server;
    server.startedAt = 0.8;
    server.stalledFrom = 3.0;
    server.stalledUntil = 3.15;
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
    clock.syncToAudio(3.0, 0, 3.0);
    EXPECT_DOUBLE_EQ(clock.position(), 3.0);

    clock.pause();
    clock.syncToAudio(0.5, 0, 0.5);
    time->advance(1.0);
    EXPECT_DOUBLE_EQ(clock.position(), 3.0);

    clock.run();
    clock.hold(1);
    clock.syncToAudio(9.0, 0, 9.0);
    time->advance(1.0);
    EXPECT_DOUBLE_EQ(clock.position(), 3.0);
}

TEST_F(MediaClockTest, pauseAndRun_freezeExactly_andContinueFromThere_whileCatchingUp) {
    clock.run();
    time->advance(1.0);
    clock.syncToAudio(0.9, 0, 0.9);  // sound behind: the clock is slowing down
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
    clock.syncToAudio(0.55, 0, 0.55);  // 50 ms ahead of the clock
    time->advance(2.0);
    // The gap is closed within the catch-up time, then the clock runs at the rate alone.
    EXPECT_NEAR(clock.position(), 0.55 + 2.0 * 0.5, 1e-9);
}

TEST_F(MediaClockTest, syncToAudio_goesOnWithin200ms_whenSoundStops_andFollowsItAgainWithoutAJump) {
    // A server that stops taking sound for two seconds, as one waiting for more sound
    // than it is given does.
    ServerModel server;
    server.stalledFrom = 2.0;
    server.stalledUntil = 4.0;
    clock.run();
    const double stopped = play(server, 2.1);
    EXPECT_NEAR(play(server, 0.05), stopped, 1e-9);  // stands still for the sound...
    const double waited = play(server, 0.45);
    EXPECT_NEAR(waited - stopped, 0.6 - PlaybackClock::kSoundStallLimit, 0.025);  // ...not long
    const double stalledEnd = play(server, 1.4);
    EXPECT_NEAR(stalledEnd - waited, 1.4, 0.01);
    // The sound comes back where it stopped, far behind the pictures: it does not pull
    // the clock back or hold it.
    EXPECT_NEAR(play(server, 1.0) - stalledEnd, 1.0, 0.01);
    // Once its player drops what the clock has passed, the sound is heard at the clock,
    // and the clock follows it again.
    ServerModel resumed;
    resumed.startedAt = time->now() - clock.position();
    const double following = play(resumed, 2.0);
    EXPECT_NEAR(following, resumed.heard(time->now()), 0.03);
}

TEST_F(MediaClockTest, syncToAudio_waitsForSoundThatNeverStarts_atMostTheStartLimit) {
    ServerModel never;
    never.startedAt = 1000;
    clock.run();
    EXPECT_LT(play(never, PlaybackClock::kSoundStartLimit - 0.1), 0.1);
    play(never, 0.2);
    const double from = clock.position();
    EXPECT_NEAR(play(never, 1.0) - from, 1.0, 0.01);
}

TEST_F(MediaClockTest, syncToAudio_ofAnOlderSeek_neverMovesTheClock) {
    clock.run();
    clock.syncToAudio(0.0, 0, 0.0);
    time->advance(30.0);
    clock.syncToAudio(30.0, 0, 30.0);
    clock.seek(1, 2.0);  // back to 2 s
    // The sound of the old position, reported after the seek: while the seek holds the
    // clock and after its picture released it.
    clock.syncToAudio(30.02, 0, 30.02);
    EXPECT_DOUBLE_EQ(clock.position(), 2.0);
    clock.release(1);
    clock.syncToAudio(30.04, 0, 30.04);
    time->advance(0.1);
    EXPECT_NEAR(clock.position(), 2.1, 1e-9);
    clock.setPosition(0, 29.0);  // a picture of the old seek
    EXPECT_NEAR(clock.position(), 2.1, 1e-9);
    // The seek's own sound steers it.
    clock.syncToAudio(2.1, 1, 2.1);
    clock.syncToAudio(5.0, 1, 5.0);
    EXPECT_DOUBLE_EQ(clock.position(), 5.0);
}

TEST(PlaybackClockHoldTest, seekHold_isOverdueAfterItsLimitOfRealTime_whateverDrivesTheClock) {
    auto time = std::make_shared<ManualClock>();
    auto real = std::make_shared<ManualClock>();
    auto shared = std::make_shared<PlaybackClock>(time, real);
    MediaClock slow(shared, false);
    MediaClock quick(shared, false);
    shared->run();
    slow.seek(1, 10.0);
    quick.seek(1, 20.0);
    quick.release(1);
    time->advance(60.0);  // a test's time may race ahead of the pictures
    real->advance(PlaybackClock::kSeekHoldLimit - 0.5);
    EXPECT_DOUBLE_EQ(quick.position(), 20.0);
    EXPECT_FALSE(slow.holdOverdue(1));

    real->advance(1.0);
    EXPECT_TRUE(slow.holdOverdue(1));
    EXPECT_FALSE(slow.holdOverdue(2));
    EXPECT_FALSE(quick.holdOverdue(1));
    EXPECT_TRUE(quick.held()) << "until the player lets go";
    slow.release(1);
    EXPECT_FALSE(slow.holdOverdue(1));
    time->advance(0.5);
    EXPECT_DOUBLE_EQ(quick.position(), 20.5);

    // A newer seek holds afresh.
    slow.seek(2, 0.0);
    EXPECT_FALSE(slow.holdOverdue(2));
}

}  // namespace
}  // namespace corvid
