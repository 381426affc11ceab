#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QWheelEvent>
#include <iostream>
#include <map>

#include "player_control/QVRControl.h"
#include "player_output/VideoWindowWidget.h"
#include "support/ProcessThreads.h"
#include "support/TestMedia.h"
#include "support/WindowTest.h"

namespace corvid {
namespace {

// A pair left paused or at its end for an hour must cost next to nothing, and playing must
// not wake each thread many times for every picture: each wake-up costs more than the work
// of many. The window on a pair whose cameras both have sound (one heard, the other's
// passed over); counted are the times the player's threads went to sleep, over one second
// (of the sound stream's threads only where there is a sound device).
class PairWakeupsRealTimeTest : public test::WindowTest {
protected:
    static constexpr double kSeconds = 4;

    void SetUp() override {
        copyPair("pair", test::TestMedia::soundCamera(1, kSeconds),
                 test::TestMedia::soundCamera(2, kSeconds));
        showOnFolder(1);
    }

    // Sleeps of each kind of player thread over a second, both cameras together.
    static std::map<QString, long> sleepsOverASecond() {
        const auto count = [] {
            std::map<QString, long> sleeps;
            // With the sound stream's thread and the sound server client's loop.
            for (const char* name : {"corvid-present", "corvid-video", "corvid-audio",
                                     "corvid-demux", "corvid-sound", "threaded-ml"})
                sleeps[name] = test::sleepsOfThreadsNamed(name);
            return sleeps;
        };
        const std::map<QString, long> before = count();
        QElapsedTimer second;
        second.start();
        waitFor([&] { return second.elapsed() >= 1000; });
        std::map<QString, long> after = count();
        for (auto& [name, sleeps] : after) sleeps -= before.at(name);
        std::cout << "[ wake-ups ] " << described(after) << "\n";
        return after;
    }

    static long total(const std::map<QString, long>& sleeps) {
        long sum = 0;
        for (const auto& [name, count] : sleeps) sum += count;
        return sum;
    }

    static std::string described(const std::map<QString, long>& sleeps) {
        std::string text;
        for (const auto& [name, count] : sleeps)
            text += name.toStdString() + " " + std::to_string(count) + "; ";
        return text;
    }
};

TEST_F(PairWakeupsRealTimeTest, threads_wakeAboutOncePerPicture_whilePlaying_andSeldomAtRest) {
    load("AB\tpair");
    ASSERT_TRUE(waitFor([&] { return position(1) > 0.3; }));
    const auto playing = sleepsOverASecond();
    // 25 pictures a second for each camera: the presenters' looks at the clock woke the
    // decoders for nothing (two a picture each); the muted sound's decoder looked every 5 ms
    // for the clock to reach its packets.
    constexpr int kPictures = 2 * 25;
    EXPECT_LE(playing.at("corvid-video"), kPictures * 3 / 2) << described(playing);
    EXPECT_LE(playing.at("corvid-audio"), 150) << described(playing);

    press(Qt::Key_Space);
    const auto paused = sleepsOverASecond();
    // Presenters looked at the standing clock every 20 ms, the sound decoders every 5 or 20:
    // over 300 times a second; the readers still look at their full queues every 40 ms.
    EXPECT_LE(total(paused), 150) << described(paused);
    // A resting presenter is woken for a new view: the picture is made for a zoom at once,
    // not at its next look a quarter of a second on.
    VideoWindowWidget* video = panel(1)->PicVid->findChild<VideoWindowWidget*>();
    const QPointF centre = QRectF(video->rect()).center();
    QWheelEvent wheel(centre, video->mapToGlobal(centre), QPoint(), QPoint(0, 120), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(video, &wheel);
    QElapsedTimer zoomed;
    zoomed.start();
    EXPECT_TRUE(waitFor([&] { return video->pictureFitsView(); }, 2000));
    EXPECT_LT(zoomed.elapsed(), 150);

    press(Qt::Key_Space);
    ASSERT_TRUE(waitFor([&] { return position(1) >= kSeconds - 0.05; }));
    waitFor([] { return false; }, 300);  // the end is reported
    const auto ended = sleepsOverASecond();
    // Presenters past the end looked for pictures every 4 ms, and the heard camera's stream
    // played silence.
    EXPECT_LE(total(ended), 80) << described(ended);
}

}  // namespace
}  // namespace corvid
