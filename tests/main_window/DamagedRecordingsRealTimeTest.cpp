#include <gtest/gtest.h>
#include <unistd.h>

#include <QAction>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QListWidget>
#include <QTest>
#include <filesystem>
#include <fstream>
#include <memory>

#include "main_window/Form1.h"
#include "media_engine/clsDShowControl.h"
#include "platform/file_views/FolderList.h"
#include "platform/files/FileSystem.h"
#include "player_control/QVRControl.h"
#include "recording_pair/RecordingPair.h"
#include "support/DamagedMedia.h"
#include "support/FakeFileSystem.h"
#include "support/FolderSnapshot.h"
#include "support/MessageBoxRecorder.h"
#include "support/WindowTest.h"

namespace corvid {
namespace {

namespace fs = std::filesystem;
using test::DamagedMedia;

const QString kSecondPortMissing = QStringLiteral("第二个端口文件不存在，点确定刷列文件列表");

// The main window on the real player core, over folders of broken recordings and odd
// names. Whatever the folder holds, the window must not crash or hang, must say what it
// cannot play, must stay usable, and must not write anything into the folder.
class DamagedRecordingsRealTimeTest : public test::WindowTest {
protected:
    void SetUp() override {
        ASSERT_TRUE(folder.isValid());
        root = folder.path().toStdString();
        healthy = DamagedMedia::healthy();
    }

    void TearDown() override {
        if (watched) {
            EXPECT_EQ(test::FolderSnapshot::of(root), before) << "something was written";
        }
        test::WindowTest::TearDown();
    }

    // Shows the window over `folder`, remembering the tree as it is now.
    void open(const std::string& path) {
        before = test::FolderSnapshot::of(root);
        watched = true;
        showWindow(QString::fromStdString(path));
    }

    QListWidgetItem* line(const QString& text) {
        const auto items = form->lsASF->findItems(text, Qt::MatchExactly);
        return items.size() == 1 ? items[0] : nullptr;
    }

    static bool playing(QVRControl* panel) {
        const double start = panel->engine()->DS_GetPosition();
        return waitFor([&] { return panel->engine()->DS_GetPosition() > start + 0.1; }, 5000);
    }

    static bool paused(QVRControl* panel) {
        const double start = panel->engine()->DS_GetPosition();
        QTest::qWait(200);
        return !panel->engine()->DS_Playing && panel->engine()->DS_GetPosition() == start;
    }

    // The window still does its job: a healthy pair plays in both panels.
    void expectUsable() {
        test::DamagedMedia::placePair(root + "/usable", "fine", healthy, healthy);
        before = test::FolderSnapshot::of(root);
        form->DirList->setPath(QString::fromStdString(root + "/usable"));
        QCoreApplication::processEvents();
        clickLine("AB\tfine");
        EXPECT_TRUE(playing(form->QVRControl1));
        EXPECT_TRUE(playing(form->QVRControl2));
        EXPECT_EQ(form->QVRControl1->notice(), "");
        EXPECT_EQ(form->QVRControl2->notice(), "");
    }

    std::string root;
    std::string healthy;
    test::FolderSnapshot before;
    bool watched = false;
    test::MessageBoxRecorder messages;
};

TEST_F(DamagedRecordingsRealTimeTest, damagedCamera_isNamedInItsPanel_whileThePartnerPlays) {
    const std::string folder = root + "/damaged";
    DamagedMedia::placePair(folder, "empty", DamagedMedia::zeroBytes(), healthy);
    DamagedMedia::placePair(folder, "noise", healthy, DamagedMedia::randomBytes());
    DamagedMedia::placePair(folder, "header", DamagedMedia::headerOnly(), healthy);
    open(folder);

    struct Case {
        QString line;
        QVRControl* broken;
        QVRControl* fine;
        QString file;
    };
    for (const Case& c :
         {Case{"AB\tempty", form->QVRControl1, form->QVRControl2, "empty-1.asf"},
          Case{"AB\tnoise", form->QVRControl2, form->QVRControl1, "noise-2.asf"},
          Case{"AB\theader", form->QVRControl1, form->QVRControl2, "header-1.asf"}}) {
        SCOPED_TRACE(c.line.toStdString());
        clickLine(c.line);
        EXPECT_TRUE(c.broken->notice().startsWith(c.file)) << c.broken->notice().toStdString();
        EXPECT_TRUE(c.broken->notice().contains("cannot be played"));
        EXPECT_EQ(c.fine->notice(), "");
        EXPECT_TRUE(playing(c.fine));
        EXPECT_EQ(form->mnuPlay->text(), "Pause");
        // Pause and Play reach the fine camera whatever the broken one makes of them.
        form->mnuPlay->trigger();
        EXPECT_TRUE(paused(c.fine));
        form->mnuPlay->trigger();
        EXPECT_TRUE(playing(c.fine));
    }
    EXPECT_EQ(messages.count(), 0);
    expectUsable();
}

TEST_F(DamagedRecordingsRealTimeTest, truncatedPair_playsAndSeeksWithinWhatWasWritten) {
    const std::string folder = root + "/cut";
    DamagedMedia::placePair(folder, "powercut", DamagedMedia::cutAt(10), DamagedMedia::cutAt(90));
    open(folder);
    clickLine("AB\tpowercut");
    EXPECT_TRUE(playing(form->QVRControl2));
    const double duration1 = form->QVRControl1->engine()->DS_GetDuration();
    const double duration2 = form->QVRControl2->engine()->DS_GetDuration();
    EXPECT_NEAR(duration1, 1.0, 0.5);
    EXPECT_NEAR(duration2, 9.0, 0.6);

    // The middle of the pair's timeline: past the short camera's end, which holds its last
    // picture there.
    const int y = form->P1->height() / 2;
    QTest::mousePress(form->P1, Qt::LeftButton, {}, QPoint(form->P1->width() / 2, y));
    EXPECT_NEAR(form->QVRControl1->engine()->DS_GetPosition(), duration1, 0.1);
    EXPECT_NEAR(form->QVRControl2->engine()->DS_GetPosition(), duration2 / 2, 0.1);
    QTest::mouseRelease(form->P1, Qt::LeftButton, {}, QPoint(form->P1->width() / 2, y));
    EXPECT_TRUE(playing(form->QVRControl2));
    // The short camera reaches its end and holds it; the long one plays on.
    EXPECT_TRUE(
        waitFor([&] { return form->QVRControl1->engine()->DS_GetPosition() >= duration1 - 1e-6; }));
    EXPECT_TRUE(playing(form->QVRControl2));
    EXPECT_EQ(messages.count(), 0);
}

TEST_F(DamagedRecordingsRealTimeTest,
       cameraCutShortWhilePlaying_isNamedInItsPanel_whilePartnerPlaysOn) {
    const std::string folder = root + "/live";
    DamagedMedia::placePair(folder, "live", healthy, healthy);
    open(folder);
    clickLine("AB\tlive");
    ASSERT_TRUE(playing(form->QVRControl2));

    // Cut on disk well ahead of what has been read, as a recorder that is cleared out.
    const fs::path cut = folder + "/live-2.asf";
    fs::resize_file(cut, fs::file_size(cut) / 3);
    before = test::FolderSnapshot::of(root);
    ASSERT_TRUE(waitFor([&] { return !form->QVRControl2->notice().isEmpty(); }));
    EXPECT_TRUE(form->QVRControl2->notice().startsWith("live-2.asf\n"));
    EXPECT_TRUE(form->QVRControl2->notice().contains("cut short"))
        << form->QVRControl2->notice().toStdString();
    EXPECT_EQ(form->QVRControl1->notice(), "");
    EXPECT_TRUE(playing(form->QVRControl1));
    EXPECT_EQ(messages.count(), 0);
    // Pause and Play reach the camera that plays on.
    form->mnuPlay->trigger();
    EXPECT_TRUE(paused(form->QVRControl1));
    form->mnuPlay->trigger();
    EXPECT_TRUE(playing(form->QVRControl1));
    expectUsable();
}

TEST_F(DamagedRecordingsRealTimeTest, unusualPairs_playEachCameraByItsOwnMeasure) {
    const std::string folder = root + "/unusual";
    DamagedMedia::placePair(folder, "mismatch", healthy, DamagedMedia::mismatchedPartner());
    DamagedMedia::placePair(folder, "sound", DamagedMedia::wavNamedAsf(),
                            test::TestMedia::audioOnly());
    DamagedMedia::place(folder, "movie.asf", DamagedMedia::otherContainer());
    open(folder);

    clickLine("AB\tmismatch");
    EXPECT_TRUE(playing(form->QVRControl1));
    EXPECT_TRUE(playing(form->QVRControl2));
    EXPECT_EQ(form->QVRControl1->engine()->orgmwidth, 352);
    EXPECT_EQ(form->QVRControl2->engine()->orgmwidth, 176);
    const int y = form->P1->height() / 2;
    QTest::mousePress(form->P1, Qt::LeftButton, {}, QPoint(form->P1->width() / 2, y));
    EXPECT_NEAR(form->QVRControl1->engine()->DS_GetPosition(), 5.0, 0.1);
    EXPECT_NEAR(form->QVRControl2->engine()->DS_GetPosition(), 4.0, 0.1);  // at its end
    QTest::mouseRelease(form->P1, Qt::LeftButton, {}, QPoint(form->P1->width() / 2, y));

    // Sound only: nothing to show, nothing to complain about, and the sound runs.
    clickLine("AB\tsound");
    EXPECT_TRUE(form->QVRControl1->engine()->IsAudioOnly);
    EXPECT_TRUE(playing(form->QVRControl1));
    EXPECT_TRUE(playing(form->QVRControl2));
    EXPECT_EQ(form->QVRControl1->notice(), "");

    // Another container named .asf plays by its content.
    clickLine("--\tmovie");
    EXPECT_EQ(form->QVRControl1->engine()->orgmwidth, 320);
    EXPECT_TRUE(playing(form->QVRControl1));
    EXPECT_EQ(messages.count(), 0);
}

TEST_F(DamagedRecordingsRealTimeTest, oddNames_areListed_andOpenExactlyTheirFiles) {
    const std::string folder = root + "/names";
    const std::vector<std::string> bases = {
        "two words", "día ñandú 北京",          "-dash", "tab\there",
        "new\nline", std::string(255 - 6, 'n'),  // the longest name a file system takes
    };
    for (const std::string& base : bases) DamagedMedia::placePair(folder, base, healthy, healthy);
    open(folder);
    ASSERT_EQ(form->lsASF->count(), static_cast<int>(bases.size()));
    for (const std::string& base : bases) {
        const QString name = QString::fromStdString(base);
        SCOPED_TRACE(base);
        clickLine("AB\t" + name);
        const QString prefix = QString::fromStdString(folder) + "/" + name;
        EXPECT_EQ(form->QVRControl1->engine()->MediaFile, prefix + "-1.asf");
        EXPECT_EQ(form->QVRControl2->engine()->MediaFile, prefix + "-2.asf");
        EXPECT_FALSE(form->QVRControl1->engine()->IsAudioOnly);
        EXPECT_FALSE(form->QVRControl2->engine()->IsAudioOnly);
    }
    EXPECT_EQ(messages.count(), 0);
}

TEST_F(DamagedRecordingsRealTimeTest, pathNearTheSystemLimit_opens) {
    // Nested folders until the camera files' full names are just below PATH_MAX.
    std::string folder = root;
    const std::size_t limit = PATH_MAX - 1 - std::string("/deep-1.asf").size();
    while (folder.size() + 1 + 200 <= limit) folder += "/" + std::string(200, 'd');
    folder += "/" + std::string(limit - folder.size() - 1, 'e');
    DamagedMedia::placePair(folder, "deep", healthy, healthy);
    ASSERT_EQ((folder + "/deep-1.asf").size(), static_cast<std::size_t>(PATH_MAX - 1));
    open(folder);
    clickLine("AB\tdeep");
    EXPECT_TRUE(playing(form->QVRControl1));
    EXPECT_TRUE(playing(form->QVRControl2));
    EXPECT_EQ(messages.count(), 0);
}

TEST_F(DamagedRecordingsRealTimeTest, filesAndFoldersGoneAfterTheScan_areReported_andNothingPlays) {
    const std::string folder = root + "/vanishing";
    DamagedMedia::placePair(folder, "gone", healthy, healthy);
    DamagedMedia::placePair(folder, "kept", healthy, healthy);
    open(folder);
    fs::remove(folder + "/gone-2.asf");
    before = test::FolderSnapshot::of(root);
    clickLine("AB\tgone");
    ASSERT_EQ(messages.texts(), QStringList{kSecondPortMissing});
    // The list was read again: camera 1 alone is left of that recording.
    EXPECT_NE(line("A \tgone"), nullptr);
    EXPECT_EQ(form->mnuPlay->isEnabled(), false);

    fs::remove_all(folder);
    before = test::FolderSnapshot::of(root);
    messages.clear();
    clickLine("AB\tkept");
    EXPECT_GE(messages.count(), 1);
    EXPECT_FALSE(form->mnuPlay->isEnabled());
    EXPECT_EQ(form->QVRControl1->engine()->MediaFile, "");
    expectUsable();
}

TEST_F(DamagedRecordingsRealTimeTest, folderOfTwentyThousandFiles_isListed_andItsPairPlays) {
    const std::string folder = root + "/crowded";
    fs::create_directories(folder);
    for (int i = 0; i < 20000; ++i) {
        std::ofstream(folder + "/clip" + std::to_string(i) + (i % 2 == 0 ? ".asf" : ".txt"));
    }
    DamagedMedia::placePair(folder, "needle", healthy, healthy);
    QElapsedTimer scan;
    scan.start();
    open(folder);
    EXPECT_LT(scan.elapsed(), 60000);
    ASSERT_EQ(form->lsASF->count(), 10001);
    clickLine("AB\tneedle");
    EXPECT_TRUE(playing(form->QVRControl1));
    EXPECT_TRUE(playing(form->QVRControl2));
    clickLine("--\tclip0");  // an empty file in the crowd
    EXPECT_TRUE(form->QVRControl1->notice().contains("cannot be played"));
}

TEST_F(DamagedRecordingsRealTimeTest, symbolicLinkLoop_amongFolders_isFollowedOneStepAtATime) {
    const std::string folder = root + "/loop";
    DamagedMedia::placePair(folder + "/inner", "looped", healthy, healthy);
    fs::create_directory_symlink("..", folder + "/inner/up");
    fs::create_directory_symlink(folder + "/inner", folder + "/in");
    open(folder + "/inner/up/in/up/in");
    clickLine("AB\tlooped");
    EXPECT_TRUE(playing(form->QVRControl1));
    form->DirList->setPath(QString::fromStdString(folder + "/in/up/in/up"));
    QCoreApplication::processEvents();
    EXPECT_EQ(form->lsASF->count(), 0);
    EXPECT_EQ(messages.count(), 0);
}

TEST_F(DamagedRecordingsRealTimeTest, unreadableFolder_isReported_andTheWindowStaysUsable) {
    // Root reads every folder, so the refusal comes from a fake file system that names real
    // files: the media itself is still opened from disk.
    const std::string readable = root + "/readable";
    DamagedMedia::placePair(readable, "ok", healthy, healthy);
    auto files = std::make_shared<FakeFileSystem>();
    files->addFolder(QString::fromStdString(root + "/locked"));
    files->addFile(QString::fromStdString(root + "/locked/secret-1.asf"));
    files->setUnreadable(QString::fromStdString(root + "/locked"));
    files->addFile(QString::fromStdString(readable + "/ok-1.asf"));
    files->addFile(QString::fromStdString(readable + "/ok-2.asf"));
    FileSystem::Scoped scope(files);
    open(readable);
    ASSERT_NE(line("AB\tok"), nullptr);

    form->DirList->setPath(QString::fromStdString(root + "/locked"));
    QCoreApplication::processEvents();
    EXPECT_EQ(messages.count(), 1);
    EXPECT_EQ(form->lsASF->count(), 0);

    form->DirList->setPath(QString::fromStdString(readable));
    QCoreApplication::processEvents();
    clickLine("AB\tok");
    EXPECT_TRUE(playing(form->QVRControl1));
    EXPECT_TRUE(playing(form->QVRControl2));
}

}  // namespace
}  // namespace corvid
