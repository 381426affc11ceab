#include <gtest/gtest.h>

#include <QAction>
#include <QElapsedTimer>
#include <QListWidget>
#include <QTest>
#include <fstream>
#include <memory>
#include <string>

#include "main_window/Form1.h"
#include "media_engine/clsDShowControl.h"
#include "platform/file_views/FolderList.h"
#include "player_control/QVRControl.h"
#include "support/DamagedMedia.h"
#include "support/FolderSnapshot.h"
#include "support/MessageBoxRecorder.h"
#include "support/WindowTest.h"
#include "util/AllocatorPolicy.h"

namespace corvid {
namespace {

using test::DamagedMedia;

constexpr int kCycles = 500;
constexpr int kWarmUp = 20;

long residentKb() {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);) {
        if (line.rfind("VmRSS:", 0) == 0) return std::stol(line.substr(6));
    }
    return -1;
}

// One process going through what a user does with recordings, many times over, healthy
// and damaged recordings in turn, on the real player core.
class SoakRealTimeTest : public test::WindowTest {
protected:
    void SetUp() override {
        AllocatorPolicy::shareOneArena();  // as the program does at its start
        ASSERT_TRUE(folder.isValid());
        root = folder.path().toStdString();
        const std::string healthy = DamagedMedia::healthy();
        DamagedMedia::placePair(root, "good", healthy, healthy);
        DamagedMedia::placePair(root, "cut", DamagedMedia::cutAt(50),
                                DamagedMedia::mismatchedPartner());
        DamagedMedia::placePair(root, "noise", DamagedMedia::randomBytes(), healthy);
        DamagedMedia::placePair(root, "empty", DamagedMedia::zeroBytes(),
                                DamagedMedia::headerOnly());
        before = test::FolderSnapshot::of(root);

        showWindow();
        ASSERT_EQ(form->lsASF->count(), 4);
    }

    void drag(double from, double to, int moves) {
        const int y = form->P1->height() / 2;
        const auto at = [&](double share) {
            return QPoint(static_cast<int>(share * (form->P1->width() - 1)), y);
        };
        QTest::mousePress(form->P1, Qt::LeftButton, {}, at(from));
        for (int i = 1; i <= moves; ++i)
            QTest::mouseMove(form->P1, at(from + (to - from) * i / moves));
        QTest::mouseRelease(form->P1, Qt::LeftButton, {}, at(to));
    }

    bool bothRunning() {
        return waitFor(
            [&] {
                return form->QVRControl1->engine()->DS_GetPosition() > 0 &&
                       form->QVRControl2->engine()->DS_GetPosition() > 0;
            },
            5000);
    }

    // Load, play, seek by drag, pause, play, stop. Returns false when a healthy pair did
    // not play.
    bool cycle(int index) {
        static const QString damaged[] = {"AB\tcut", "AB\tnoise", "AB\tempty"};
        const bool healthy = index % 2 == 0;
        clickLineWithoutWaiting(healthy ? QString("AB\tgood") : damaged[(index / 2) % 3]);
        const bool played = !healthy || bothRunning();
        drag(0.2, 0.7, 5);
        form->mnuPlay->trigger();  // pause
        form->mnuPlay->trigger();  // play
        QCoreApplication::processEvents();
        form->mnuClose->trigger();
        return played;
    }

    std::string root;
    test::FolderSnapshot before;
    test::MessageBoxRecorder messages;
};

TEST_F(SoakRealTimeTest, manyCyclesOverHealthyAndDamagedPairs_keepTheWindowWorkingWithoutGrowing) {
    for (int i = 0; i < kWarmUp; ++i) ASSERT_TRUE(cycle(i)) << "cycle " << i;
    const long start = residentKb();
    QElapsedTimer clock;
    clock.start();
    int failed = 0;
    for (int i = 0; i < kCycles; ++i) {
        if (!cycle(i)) ++failed;
    }
    const long growth = residentKb() - start;
    std::printf("[ measured ] %d cycles in %lld ms, resident size grew by %ld kB\n", kCycles,
                static_cast<long long>(clock.elapsed()), growth);

    EXPECT_EQ(failed, 0);
    EXPECT_EQ(messages.count(), 0) << messages.texts().mid(0, 3).join(" | ").toStdString();
#if !defined(__SANITIZE_ADDRESS__)
    // A graph, its decoders or a picture kept per cycle would add tens of MB.
    EXPECT_LT(growth, 16 * 1024);
#endif
    clickLineWithoutWaiting("AB\tgood");
    EXPECT_TRUE(bothRunning());
    EXPECT_EQ(test::FolderSnapshot::of(root), before);
}

}  // namespace
}  // namespace corvid
