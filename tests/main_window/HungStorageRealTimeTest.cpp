#include <gtest/gtest.h>

#include <QAction>
#include <QDir>
#include <QFile>
#include <QTest>
#include <memory>
#include <string>

#include "main_window/Form1.h"
#include "media_engine/clsDShowControl.h"
#include "platform/graph/FfmpegGraphFactory.h"
#include "platform/graph/GraphFactory.h"
#include "player_control/QVRControl.h"
#include "support/EventLoopProbe.h"
#include "support/Eventually.h"
#include "support/FaultyStorage.h"
#include "support/MessageBoxRecorder.h"
#include "support/PictureReader.h"
#include "support/TestMedia.h"
#include "support/WindowTest.h"

namespace corvid {
namespace {

using namespace std::chrono_literals;
using test::FaultyStorage;
using test::PictureReader;

// The longest the window may stand still in any of these.
constexpr qint64 kLongestStallMs = 100;

// The threads of this process that read files for the player.
int readerThreads() {
    int count = 0;
    for (const QString& task :
         QDir("/proc/self/task").entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile name("/proc/self/task/" + task + "/comm");
        if (name.open(QIODevice::ReadOnly) && name.readAll().trimmed() == "corvid-read") ++count;
    }
    return count;
}

// The whole window on real graphs, over storage that stops answering camera 2's reads
// while a pair plays, as a network share or a USB disk can. Whatever the reviewer does
// then (wait, Stop, another recording, closing the window) the window never stands still
// for long: the event loop's lateness is measured throughout. The camera that does not
// answer is named, the other plays on, and once the storage answers again the reads left
// behind end and free what they held.
class HungStorageRealTimeTest : public test::WindowTest {
protected:
    void SetUp() override {
        for (const char* name : {"hung", "other"}) {
            for (const int number : {1, 2}) {
                test::MediaRecipe recipe;
                recipe.seconds = 30;
                recipe.colour = number == 1 ? 0xC03030 : 0x3050D0;
                copy(test::TestMedia::make(recipe),
                     QStringLiteral("%1-%2.asf").arg(name).arg(number));
            }
        }
        showOnFolder(2);
        playHungPair();
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
        return options;
    }

    static int frame(QVRControl* panel) { return PictureReader::frameShownIn(panel->PicVid); }
    static double position(QVRControl* panel) { return panel->engine()->DS_GetPosition(); }

    // Whether the panel's pictures move on.
    static bool plays(QVRControl* panel) {
        const int from = frame(panel);
        return test::eventually([&] { return frame(panel) > from && from >= 0; }, 10000);
    }

    // Plays the pair whose camera 2 then stops answering, until one of its reads is held.
    void playHungPair() {
        clickLine("AB\thung");
        ASSERT_TRUE(plays(form->QVRControl1));
        ASSERT_TRUE(plays(form->QVRControl2));
        const int held = storage->hung();
        storage->set(FaultyStorage::Mode::Hangs, std::nullopt, "hung-2.asf");
        ASSERT_TRUE(test::eventually([&] { return storage->hung() > held; }, 10000));
        probe.reset();
    }

    // Lets the window run for a while, so that a stall after the action is measured too.
    static void settle() { QTest::qWait(500); }

    void expectNoLongStall() {
        EXPECT_LT(probe.worstMs(), kLongestStallMs);
        std::printf("[ stall    ] %s: longest %lld ms\n",
                    ::testing::UnitTest::GetInstance()->current_test_info()->name(),
                    static_cast<long long>(probe.worstMs()));
    }

    // Once the storage answers, the reads left behind end and close their files.
    void expectNothingLeftOnceTheStorageAnswers(int stillReading) {
        storage->set(FaultyStorage::Mode::Answers);
        EXPECT_TRUE(test::eventually([&] { return storage->openFiles("hung-2.asf") == 0; }));
        EXPECT_TRUE(test::eventually([&] { return readerThreads() == stillReading; }))
            << readerThreads() << " reading threads";
    }

    std::shared_ptr<FaultyStorage> storage = FaultyStorage::local();
    GraphFactory::Scoped installed{std::make_shared<FfmpegGraphFactory>(graphOptions(storage))};
    test::MessageBoxRecorder messages;
    test::EventLoopProbe probe;
};

TEST_F(HungStorageRealTimeTest, waiting_namesTheCameraThatStoppedAnswering_andTheOtherPlaysOn) {
    ASSERT_TRUE(test::eventually([&] { return !form->QVRControl2->notice().isEmpty(); }, 20000));
    settle();
    expectNoLongStall();
    EXPECT_TRUE(form->QVRControl2->notice().startsWith("hung-2.asf\n"))
        << form->QVRControl2->notice().toStdString();
    EXPECT_TRUE(form->QVRControl2->notice().contains("stopped answering"))
        << form->QVRControl2->notice().toStdString();
    EXPECT_EQ(form->QVRControl1->notice(), "");
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
    clickLine("AB\tother");
    ASSERT_TRUE(test::eventually(
        [&] { return position(form->QVRControl1) > 1.0 && position(form->QVRControl2) > 1.0; },
        10000));
    settle();
    expectNoLongStall();
    EXPECT_TRUE(plays(form->QVRControl1));
    EXPECT_TRUE(plays(form->QVRControl2));
    EXPECT_EQ(messages.count(), 0);
    expectNothingLeftOnceTheStorageAnswers(2);
}

TEST_F(HungStorageRealTimeTest, closingTheWindow_goesAtOnce) {
    form->close();
    form.reset();
    settle();
    expectNoLongStall();
    EXPECT_EQ(messages.count(), 0);
    expectNothingLeftOnceTheStorageAnswers(0);
}

}  // namespace
}  // namespace corvid
