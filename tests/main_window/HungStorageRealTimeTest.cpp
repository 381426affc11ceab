#include <gtest/gtest.h>

#include <QAction>
#include <QTest>
#include <memory>
#include <string>

#include "main_window/Form1.h"
#include "media_engine/clsDShowControl.h"
#include "platform/graph/FfmpegGraphFactory.h"
#include "platform/graph/GraphFactory.h"
#include "player_control/QVRControl.h"
#include "player_control/VideoSurface.h"
#include "recording_pair/RecordingPair.h"
#include "support/BlockingMirror.h"
#include "support/EventLoopProbe.h"
#include "support/Eventually.h"
#include "support/FaultyStorage.h"
#include "support/MessageBoxRecorder.h"
#include "support/PictureReader.h"
#include "support/ProcessThreads.h"
#include "support/TestMedia.h"
#include "support/WindowTest.h"

namespace corvid {
namespace {

using namespace std::chrono_literals;
using test::FaultyStorage;
using test::PictureReader;

// The longest the window may stand still in any of these: a tenth of a second, three
// times that under the sanitizers, which slow everything down as much. A read that holds
// the window holds it for seconds.
#ifdef __SANITIZE_ADDRESS__
constexpr qint64 kLongestStallMs = 300;
#else
constexpr qint64 kLongestStallMs = 100;
#endif

// The whole window on real graphs, over storage that stops answering camera 2's reads
// while a pair plays, as a network share or a USB disk can. Whatever the reviewer does
// then (wait, Stop, another recording, closing the window) the window never stands still
// for long: the event loop's lateness is measured throughout. The camera that does not
// answer is named, the other plays on, and once the storage answers again the reads left
// behind end and free what they held.
class StorageStallTest : public test::WindowTest {
protected:
    // Two pairs, "hung" and "other", in the folder.
    void copyRecordings() {
        for (const char* name : {"hung", "other"}) {
            for (const int number : {1, 2}) {
                test::MediaRecipe recipe;
                recipe.seconds = 30;
                recipe.colour = number == 1 ? 0xC03030 : 0x3050D0;
                copy(test::TestMedia::make(recipe),
                     QStringLiteral("%1-%2.asf").arg(name).arg(number));
            }
        }
    }

    static int frame(QVRControl* panel) { return PictureReader::frameShownIn(panel->PicVid); }
    static double position(QVRControl* panel) { return panel->engine()->DS_GetPosition(); }

    // Whether the panel's pictures move on.
    static bool plays(QVRControl* panel) {
        // A panel still opening shows no picture yet: its first one is waited for.
        int from = -1;
        return test::eventually(
            [&] {
                const int now = frame(panel);
                if (from < 0) from = now;
                return from >= 0 && now > from;
            },
            10000);
    }

    // Plays the pair whose camera 2 then stops answering, until one of its reads is held.
    template <typename Hang, typename Held>
    void playHungPair(Hang hang, Held held) {
        clickLine("AB\thung");
        ASSERT_TRUE(plays(form->QVRControl1));
        ASSERT_TRUE(plays(form->QVRControl2));
        hang();
        ASSERT_TRUE(test::eventually(held, 10000));
        probe.reset();
    }

    // Lets the window run for a while, so that a stall after the action is measured too.
    static void settle() { QTest::qWait(500); }

    void expectNoLongStall() {
        EXPECT_LT(probe.worstMs(), kLongestStallMs);
        std::printf("[ stall    ] %s: longest %lld ms\n",
                    ::testing::UnitTest::GetInstance()->current_test_info()->name(),
                    static_cast<long long>(probe.worstMs()));
        probe.reset();
    }

    void expectCamera2Named(const char* why) {
        const QString notice = form->QVRControl2->notice();
        EXPECT_TRUE(notice.startsWith("hung-2.asf\n")) << notice.toStdString();
        EXPECT_TRUE(notice.contains(why)) << notice.toStdString();
        EXPECT_EQ(form->QVRControl1->notice(), "");
    }

    // A click on the other pair, which then plays in both panels.
    void playOtherPair() {
        clickLine("AB\tother");
        ASSERT_TRUE(test::eventually(
            [&] { return position(form->QVRControl1) > 1.0 && position(form->QVRControl2) > 1.0; },
            10000));
        settle();
        expectNoLongStall();
        EXPECT_TRUE(plays(form->QVRControl1));
        EXPECT_TRUE(plays(form->QVRControl2));
    }

    void closeWindow() {
        form->close();
        form.reset();
        settle();
        expectNoLongStall();
    }

    static bool readingThreadsEnd(int stillReading) {
        return test::eventually([&] { return test::threadsNamed("corvid-read") == stillReading; });
    }

    test::MessageBoxRecorder messages;
    test::EventLoopProbe probe;
};

// On storage that fails on purpose (FaultyStorage), for each thing a reviewer may do.
class HungStorageRealTimeTest : public StorageStallTest {
protected:
    void SetUp() override {
        copyRecordings();
        showOnFolder(2);
        const int held = storage->hung();
        playHungPair([&] { storage->set(FaultyStorage::Mode::Hangs, std::nullopt, "hung-2.asf"); },
                     [&] { return storage->hung() > held; });
    }

    void TearDown() override {
        storage->set(FaultyStorage::Mode::Answers);
        test::WindowTest::TearDown();
    }

    static FfmpegGraph::Options graphOptions(const std::shared_ptr<FaultyStorage>& storage) {
        FfmpegGraph::Options options;
        options.storage = storage;
        // Short for the test, still generous for a busy machine.
        options.stallLimit = 2s;
        options.openTimeout = 2s;
        return options;
    }

    // Once the storage answers, the reads left behind end and close their files.
    void expectNothingLeftOnceTheStorageAnswers(int stillReading) {
        storage->set(FaultyStorage::Mode::Answers);
        EXPECT_TRUE(test::eventually([&] { return storage->openFiles("hung-2.asf") == 0; }));
        EXPECT_TRUE(readingThreadsEnd(stillReading))
            << test::threadsNamed("corvid-read") << " reading threads";
    }

    std::shared_ptr<FaultyStorage> storage = FaultyStorage::local();
    GraphFactory::Scoped installed{std::make_shared<FfmpegGraphFactory>(graphOptions(storage))};
};

TEST_F(HungStorageRealTimeTest, waiting_namesTheCameraThatStoppedAnswering_andTheOtherPlaysOn) {
    ASSERT_TRUE(test::eventually([&] { return !form->QVRControl2->notice().isEmpty(); }, 20000));
    settle();
    expectNoLongStall();
    expectCamera2Named("stopped answering");
    EXPECT_TRUE(plays(form->QVRControl1));
    EXPECT_EQ(messages.count(), 0);
    expectNothingLeftOnceTheStorageAnswers(1);
}

TEST_F(HungStorageRealTimeTest, stop_goesAtOnce) {
    form->mnuClose->trigger();
    settle();
    expectNoLongStall();
    EXPECT_FALSE(form->mnuClose->isEnabled());
    EXPECT_EQ(messages.count(), 0);
    expectNothingLeftOnceTheStorageAnswers(0);
}

TEST_F(HungStorageRealTimeTest, anotherRecording_playsAtOnce) {
    playOtherPair();
    EXPECT_EQ(messages.count(), 0);
    expectNothingLeftOnceTheStorageAnswers(2);
}

TEST_F(HungStorageRealTimeTest, closingTheWindow_goesAtOnce) {
    closeWindow();
    EXPECT_EQ(messages.count(), 0);
    expectNothingLeftOnceTheStorageAnswers(0);
}

TEST_F(HungStorageRealTimeTest, openingAFileThatDoesNotAnswer_holdsNothing_untilItsTimeIsUp) {
    // Camera 2's file now hangs its opens too: the window waits for it in the background.
    clickLineWithoutWaiting("AB\thung");
    settle();
    expectNoLongStall();
    EXPECT_TRUE(form->pair().opening());
    EXPECT_EQ(form->QVRControl2->PicVid->hint(), "Opening hung-2.asf");
    // Camera 1 opened: it is set up meanwhile and shows its first picture, held there
    // until camera 2 is in place.
    EXPECT_EQ(form->QVRControl1->PicVid->hint(), "");
    EXPECT_TRUE(test::eventually([&] { return frame(form->QVRControl1) == 0; }, 5000));
    QTest::qWait(300);
    EXPECT_EQ(frame(form->QVRControl1), 0);
    EXPECT_EQ(position(form->QVRControl1), 0.0);

    // Stop drops the load: nothing starts once the open gives up.
    form->mnuClose->trigger();
    EXPECT_FALSE(form->pair().opening());
    EXPECT_EQ(form->QVRControl2->PicVid->hint(), "");
    QTest::qWait(2500);
    EXPECT_TRUE(form->QVRControl1->engine()->MediaFile.isEmpty());
    EXPECT_FALSE(form->mnuClose->isEnabled());

    // Opened again and waited for, its time limit names camera 2; camera 1 plays.
    clickLineWithoutWaiting("AB\thung");
    ASSERT_TRUE(test::eventually([&] { return !form->pair().opening(); }, 10000));
    expectNoLongStall();
    expectCamera2Named("did not answer in time");
    EXPECT_TRUE(plays(form->QVRControl1));
    EXPECT_EQ(messages.count(), 0);
}

// On a real FUSE mount whose reads of camera 2 the kernel holds, with the program's own
// storage and limits: the reviewer moves to the next recording, then closes the window.
class FuseShareRealTimeTest : public StorageStallTest {
protected:
    void SetUp() override {
        copyRecordings();
        if (!share.mount(folder.path())) GTEST_SKIP() << "no FUSE mounts here";
        showOnFolder(2, share.mountPoint());
        playHungPair([&] { share.block("hung-2.asf"); }, [&] { return share.held("hung-2.asf"); });
    }

    void TearDown() override {
        share.unblockAll();
        test::WindowTest::TearDown();
    }

    test::BlockingMirror share;
};

TEST_F(FuseShareRealTimeTest, nextRecordingAndClosing_goAtOnce_andTheHeldReadEndsWhenAnswered) {
    playOtherPair();
    closeWindow();
    EXPECT_EQ(messages.count(), 0);
    share.unblockAll();
    EXPECT_TRUE(readingThreadsEnd(0)) << test::threadsNamed("corvid-read") << " reading threads";
    EXPECT_TRUE(share.unmount()) << "a file of the share is still open";
}

TEST_F(FuseShareRealTimeTest, waiting_namesTheCameraOnTheShare_andTheOtherPlaysOn) {
    // The program's own limit on a read that does not come back, and some.
    ASSERT_TRUE(test::eventually([&] { return !form->QVRControl2->notice().isEmpty(); }, 30000));
    settle();
    expectNoLongStall();
    expectCamera2Named("stopped answering");
    EXPECT_TRUE(plays(form->QVRControl1));
    share.unblockAll();
    EXPECT_TRUE(readingThreadsEnd(1)) << test::threadsNamed("corvid-read") << " reading threads";
}

}  // namespace
}  // namespace corvid
