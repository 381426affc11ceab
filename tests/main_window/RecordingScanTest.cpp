#include "main_window/RecordingScan.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QListWidget>
#include <QTemporaryDir>
#include <map>

#include "main_window/RecordingLine.h"
#include "platform/file_views/DriveList.h"
#include "platform/file_views/FolderList.h"
#include "platform/files/FileSystem.h"
#include "platform/files/FolderPath.h"
#include "platform/files/LocalFileSystem.h"
#include "support/FakeFileSystem.h"
#include "support/MessageBoxRecorder.h"

namespace corvid {
namespace {

// The local file system with every call counted, to show that a scan's cost grows linearly.
class CountingFileSystem : public LocalFileSystem {
public:
    std::unique_ptr<IFolderReader> readRecordingFiles(const QString& folder) override {
        ++opened;
        return LocalFileSystem::readRecordingFiles(folder);
    }
    std::optional<QString> findFile(const QString& fullName) override {
        ++found;
        return LocalFileSystem::findFile(fullName);
    }
    bool isOrdinaryFile(const QString& fullName) override {
        ++tested;
        return LocalFileSystem::isOrdinaryFile(fullName);
    }
    QStringList childFolders(const QString& folder) override {
        ++listed;
        return LocalFileSystem::childFolders(folder);
    }
    int opened = 0, found = 0, tested = 0, listed = 0;
};

class RecordingScanTest : public ::testing::Test {
protected:
    QString path(const QString& name) const { return dir.path() + u'/' + name; }

    void touch(const QString& name) const {
        QFile file(path(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly)) << name.toStdString();
    }

    QStringList lines() const {
        QStringList texts;
        for (int i = 0; i < list.count(); ++i) texts.append(list.item(i)->text());
        return texts;
    }

    QStringList adapterOrder(const QString& folder) const {
        QStringList names;
        const auto reader = FileSystem::current()->readRecordingFiles(folder);
        while (const auto name = reader->next()) names.append(*name);
        return names;
    }

    QTemporaryDir dir;
    QListWidget list;
    int yields = 0;
    std::function<void()> onYield;
    RecordingScan scan{&list, [this] {
                           ++yields;
                           if (onYield) onYield();
                       }};
};

TEST_F(RecordingScanTest, run_marksEachRecording) {
    // Each name with the line it gives; an empty line means the name adds none.
    const std::map<QString, QString> expected = {
        {"a-1.asf", "AB\ta"},     {"a-2.asf", ""},
        {"b-1.asf", "A \tb"},     {"c-2.asf", " B\tc"},
        {"A2-1.ASF", "AB\tA2"},   {"a2-2.asf", ""},
        {"Run-2.asf", ""},        {"RUN-1.Asf", "AB\tRUN"},
        {"clip.asf", "--\tclip"}, {"CLIP2.ASF", "--\tCLIP2"},
        {"-1.asf", "--\t-1"},     {"-2.asf", "--\t-2"},
        {"x-3.asf", "--\tx-3"},   {"d-1.asf.asf", "--\td-1.asf"},
        {"e-1.asf", "A \te"},     {"f-2.asf", " B\tf"}};
    for (const auto& [name, line] : expected) touch(name);
    // Not ordinary files, or not recordings: never a line, never a partner.
    touch("notes.txt");
    touch(".g-1.asf");
    touch(".e-2.asf");
    ASSERT_TRUE(QDir(dir.path()).mkpath("f-1.asf"));
    ASSERT_TRUE(QDir(dir.path()).mkpath("dir.asf"));

    EXPECT_EQ(scan.run(dir.path()), RecordingScan::Outcome::Completed);

    QStringList wanted;
    const QStringList order = adapterOrder(dir.path());
    ASSERT_EQ(order.size(), qsizetype(expected.size()));
    for (const QString& name : order) {
        if (!expected.at(name).isEmpty()) wanted.append(expected.at(name));
    }
    QStringList shown = lines();
    shown.sort();
    wanted.sort();
    EXPECT_EQ(shown, wanted);
    EXPECT_EQ(yields, 2 * order.size());
    EXPECT_EQ(list.currentRow(), -1);
}

TEST_F(RecordingScanTest, run_listsInNameOrder_foldingCaseAndReadingNumbersAsNumbers) {
    // Created in shuffled order, so that the folder's own order is no help.
    const QStringList created = {"cam_100.asf",    "Cam_9-1.asf", "cam_10-2.asf", "beta-1.asf",
                                 "Cam_1077-1.asf", "CAM_2-2.asf", "Alpha-2.asf",  "cam_807-2.asf",
                                 "cam_2-1.asf",    "BETA2.asf",   "cam_10-1.asf"};
    for (const QString& name : created) touch(name);
    const QStringList inNameOrder = {"Alpha-2.asf",   "beta-1.asf",    "BETA2.asf",
                                     "cam_2-1.asf",   "CAM_2-2.asf",   "Cam_9-1.asf",
                                     "cam_10-1.asf",  "cam_10-2.asf",  "cam_100.asf",
                                     "cam_807-2.asf", "Cam_1077-1.asf"};
    ASSERT_NE(adapterOrder(dir.path()), inNameOrder);
    const QStringList wanted = {" B\tAlpha",   "A \tbeta",    "--\tBETA2",
                                "AB\tcam_2",   "A \tCam_9",   "AB\tcam_10",
                                "--\tcam_100", " B\tcam_807", "A \tCam_1077"};

    EXPECT_EQ(scan.run(dir.path()), RecordingScan::Outcome::Completed);
    EXPECT_EQ(lines(), wanted);
    EXPECT_EQ(list.item(0)->data(RecordingLine::BaseNameRole).toString(), "Alpha");
}

TEST_F(RecordingScanTest, run_keepsBaseNameWithLine_whenNameHoldsTab) {
    touch("a-1.asf");
    touch("a\tb-1.asf");
    touch("a\tb-2.asf");
    scan.run(dir.path());

    ASSERT_EQ(list.count(), 2);
    for (int i = 0; i < list.count(); ++i) {
        const QListWidgetItem* item = list.item(i);
        const QString base = item->data(RecordingLine::BaseNameRole).toString();
        const QString marker = item->data(RecordingLine::MarkerRole).toString();
        EXPECT_EQ(item->text(), marker + u'\t' + base);
        EXPECT_EQ(marker, base == "a" ? "A " : "AB") << base.toStdString();
    }
}

TEST_F(RecordingScanTest, run_clearsOrKeepsList_forEmptyFolderAndBlankPath) {
    list.addItem("old");
    EXPECT_EQ(scan.run("   "), RecordingScan::Outcome::BlankPath);
    EXPECT_EQ(scan.run(QString()), RecordingScan::Outcome::BlankPath);
    EXPECT_EQ(lines(), QStringList{"old"});
    EXPECT_EQ(yields, 0);

    touch("readme.txt");
    EXPECT_EQ(scan.run(dir.path() + u'/'), RecordingScan::Outcome::Completed);
    EXPECT_EQ(list.count(), 0);
}

TEST_F(RecordingScanTest, run_joinsRootFolderWithoutDoubledSeparator) {
    auto fake = std::make_shared<FakeFileSystem>();
    FileSystem::Scoped scoped(fake);
    fake->addFile("/r-1.asf");
    fake->addFile("/R-2.ASF");
    EXPECT_EQ(scan.run("/"), RecordingScan::Outcome::Completed);
    EXPECT_EQ(lines(), QStringList{"AB\tr"});
    EXPECT_EQ(fake->testedFiles(), QStringList({"/R-2.ASF", "/r-1.asf"}));
    EXPECT_EQ(folderPrefix("/"), "/");
    EXPECT_EQ(folderPrefix("/a/b"), "/a/b/");
}

TEST_F(RecordingScanTest, run_costsConstantPerName_inLargeFolder) {
    auto counting = std::make_shared<CountingFileSystem>();
    FileSystem::Scoped scoped(counting);
    const int recordings = 10000;
    for (int i = 0; i < recordings; ++i) {
        touch(QStringLiteral("rec%1-1.asf").arg(i));
        // Half of the pairs are complete, the other half lack camera 2.
        if (i % 2 == 0)
            touch(QStringLiteral("REC%1-2.ASF").arg(i));
        else
            touch(QStringLiteral("lone%1-2.asf").arg(i));
    }
    onYield = [] { QCoreApplication::processEvents(); };

    EXPECT_EQ(scan.run(dir.path()), RecordingScan::Outcome::Completed);
    EXPECT_EQ(list.count(), recordings + recordings / 2);
    EXPECT_EQ(yields, 4 * recordings);
    EXPECT_EQ(counting->opened, 1);
    EXPECT_EQ(counting->found, 0);
    EXPECT_EQ(counting->listed, 0);
    // One confirmation per partner found, never a listing per name.
    EXPECT_EQ(counting->tested, recordings);
}

TEST_F(RecordingScanTest, run_reportsCameraOneOnly_whenPartnerDeletedAfterGather) {
    touch("a-1.asf");
    touch("a-2.asf");
    touch("b-2.asf");
    int yield = 0;
    onYield = [&] {
        if (++yield == 3) QFile::remove(path("a-2.asf"));  // the first yield of classification
    };
    scan.run(dir.path());
    EXPECT_TRUE(lines().contains("A \ta"));
    EXPECT_FALSE(lines().contains("AB\ta"));
}

TEST_F(RecordingScanTest, run_supersedesOlderScan_startedDuringItsYield) {
    QTemporaryDir other;
    QFile(other.path() + "/other.asf").open(QIODevice::WriteOnly);
    for (int i = 0; i < 5; ++i) touch(QStringLiteral("r%1.asf").arg(i));

    // A newer scan during the gather, then one during the classification.
    for (const int at : {2, 7}) {
        list.clear();
        list.addItem("old");
        int count = 0;
        bool started = false;
        RecordingScan::Outcome inner{};
        // Only once; the handler must not drop itself while it runs.
        onYield = [&] {
            if (started || ++count != at) return;
            started = true;
            inner = scan.run(other.path());
        };
        EXPECT_EQ(scan.run(dir.path()), RecordingScan::Outcome::Superseded);
        EXPECT_EQ(inner, RecordingScan::Outcome::Completed);
        EXPECT_EQ(lines(), QStringList{"--\tother"}) << "newer scan at yield " << at;
    }
}

TEST_F(RecordingScanTest, run_stopsQuietly_whenListDestroyedDuringYield) {
    touch("a-1.asf");
    touch("b-1.asf");
    auto* owned = new QListWidget;
    RecordingScan own(owned, [&] { delete owned; });
    EXPECT_EQ(own.run(dir.path()), RecordingScan::Outcome::Superseded);
}

// Failures, with the drive, folder and recording lists wired as the main window wires them.
class RecordingScanFailureTest : public RecordingScanTest {
protected:
    void SetUp() override {
        fake->setVolumes({{"/", "/dev/sda1", "ext4"}, {"/media/usb", "/dev/sdb1", "vfat"}});
        fake->setCurrentFolder("/home/me");
        fake->addFile("/home/me/home-1.asf");
        fake->addFile("/media/usb/rec/day-1.asf");
        fake->addFile("/media/usb/rec/day-2.asf");
        fake->addFile("/media/usb/rec/clip.asf");
        drives = std::make_unique<DriveList>();
        folders = std::make_unique<FolderList>();
        scan.keepInLine(drives.get(), folders.get());
        QObject::connect(folders.get(), &FolderList::Change, [this] { scan.run(folders->Path()); });
        QObject::connect(drives.get(), &DriveList::Change,
                         [this] { folders->setPath(drives->Drive()); });
    }

    std::shared_ptr<FakeFileSystem> fake = std::make_shared<FakeFileSystem>();
    FileSystem::Scoped scoped{fake};
    test::MessageBoxRecorder messages;
    std::unique_ptr<DriveList> drives;
    std::unique_ptr<FolderList> folders;
};

TEST_F(RecordingScanFailureTest, run_reportsUnreadableFolder_andShowsNoRecordings) {
    folders->setPath("/media/usb/rec");
    ASSERT_EQ(list.count(), 2);
    EXPECT_EQ(drives->Drive(), "/media/usb");

    fake->setUnreadable("/media/usb/rec");
    EXPECT_EQ(scan.run(folders->Path()), RecordingScan::Outcome::Failed);
    ASSERT_EQ(messages.count(), 1);
    EXPECT_TRUE(messages.texts()[0].contains("/media/usb/rec"));
    EXPECT_TRUE(messages.texts()[0].contains("cannot be read"));
    EXPECT_EQ(list.count(), 0);
    EXPECT_EQ(folders->Path(), "/media/usb/rec");
    EXPECT_EQ(drives->Drive(), "/media/usb");
}

TEST_F(RecordingScanFailureTest, run_movesToExistingFolder_whenFolderVanishesWhileRead) {
    folders->setPath("/media/usb/rec");
    fake->addFile("/media/usb/top.asf");
    fake->vanishWhileReading("/media/usb/rec", 1);

    EXPECT_EQ(scan.run(folders->Path()), RecordingScan::Outcome::Failed);
    ASSERT_EQ(messages.count(), 1);
    EXPECT_TRUE(messages.texts()[0].contains("removed"));
    EXPECT_EQ(folders->Path(), "/media/usb");
    EXPECT_EQ(lines(), QStringList{"--\ttop"});
    EXPECT_EQ(drives->Drive(), "/media/usb");
}

TEST_F(RecordingScanFailureTest, run_movesToRemainingVolume_whenVolumeGoesDuringScan) {
    folders->setPath("/media/usb/rec");
    onYield = [this] {
        onYield = nullptr;
        fake->remove("/media/usb");
    };
    EXPECT_EQ(scan.run(folders->Path()), RecordingScan::Outcome::Failed);
    EXPECT_EQ(messages.count(), 1);
    EXPECT_EQ(folders->Path(), "/media");
    EXPECT_EQ(drives->Drive(), "/");
    EXPECT_EQ(drives->count(), 1);
    EXPECT_EQ(list.count(), 0);
}

TEST_F(RecordingScanFailureTest, run_failsAndRecovers_whenFolderRemovedDuringClassification) {
    folders->setPath("/media/usb/rec");
    int count = 0;
    onYield = [&] {
        if (++count == 4) fake->remove("/media/usb/rec");  // first yield after the gather
    };
    EXPECT_EQ(scan.run(folders->Path()), RecordingScan::Outcome::Failed);
    EXPECT_EQ(messages.count(), 1);
    EXPECT_EQ(folders->Path(), "/media/usb");
    EXPECT_EQ(list.count(), 0);
}

TEST_F(RecordingScanFailureTest, run_staysLinear_whenNoCameraFileHasPartner) {
    for (int i = 0; i < 20000; ++i) fake->addFile(QStringLiteral("/big/r%1-1.asf").arg(i));
    fake->resetCalls();
    EXPECT_EQ(scan.run("/big"), RecordingScan::Outcome::Completed);
    EXPECT_EQ(list.count(), 20000);
    EXPECT_EQ(fake->calls().readersOpened, 1);
    EXPECT_EQ(fake->calls().namesRead, 20000);
    EXPECT_EQ(fake->calls().findFile, 0);
    EXPECT_EQ(fake->calls().isOrdinaryFile, 0);
}

}  // namespace
}  // namespace corvid
