#include "platform/file_views/DriveList.h"

#include <gtest/gtest.h>

#include <QSignalSpy>
#include <QTest>

#include "platform/files/FileSystem.h"
#include "support/FakeFileSystem.h"
#include "util/Failure.h"

namespace corvid {
namespace {

class DriveListTest : public ::testing::Test {
protected:
    DriveListTest() {
        fake->setVolumes({{"/", "/dev/sda1", "ext4"},
                          {"/home", "/dev/sda2", "ext4"},
                          {"/media/usb", "/dev/sdb1", "vfat"}});
        for (const char* folder : {"/home/me", "/media/usb", "/srv"}) fake->addFolder(folder);
        fake->setCurrentFolder("/home/me");
    }

    std::shared_ptr<FakeFileSystem> fake = std::make_shared<FakeFileSystem>();
    FileSystem::Scoped scoped{fake};
};

TEST_F(DriveListTest, startsOnVolumeOfCurrentFolder) {
    DriveList drives;
    EXPECT_EQ(drives.count(), 3);
    EXPECT_EQ(drives.Drive(), "/home");
}

TEST_F(DriveListTest, setDrive_raisesChangeOnlyWhenAnotherVolumeIsShown) {
    DriveList drives;
    QSignalSpy changes(&drives, &DriveList::Change);
    drives.setDrive("/media/usb");
    EXPECT_EQ(drives.Drive(), "/media/usb");
    EXPECT_EQ(changes.count(), 1);
    drives.setDrive("/media/usb");
    drives.setDrive("/media/usb/some/folder");
    EXPECT_EQ(changes.count(), 1);
    drives.setDrive("/srv");  // a path on the root volume
    EXPECT_EQ(drives.Drive(), "/");
    EXPECT_EQ(changes.count(), 2);
    EXPECT_THROW(drives.setDrive(QString()), Failure);
}

TEST_F(DriveListTest, keyboardChoice_raisesChange_butFollowingFolderDoesNot) {
    DriveList drives;
    QSignalSpy changes(&drives, &DriveList::Change);
    QTest::keyClick(&drives, Qt::Key_Down);
    EXPECT_EQ(drives.Drive(), "/media/usb");
    EXPECT_EQ(changes.count(), 1);
    drives.showVolumeOf("/home/me/rec");
    EXPECT_EQ(drives.Drive(), "/home");
    EXPECT_EQ(changes.count(), 1);
}

TEST_F(DriveListTest, refresh_followsMountsAndUnmounts) {
    DriveList drives;
    drives.setDrive("/media/usb");
    fake->setVolumes({{"/", "/dev/sda1", "ext4"},
                      {"/home", "/dev/sda2", "ext4"},
                      {"/media/usb", "/dev/sdb1", "vfat"},
                      {"/srv", "/dev/sdc1", "xfs"}});
    QSignalSpy changes(&drives, &DriveList::Change);
    EXPECT_FALSE(drives.refresh());
    EXPECT_EQ(drives.count(), 4);
    EXPECT_EQ(drives.Drive(), "/media/usb");

    fake->remove("/media/usb");
    EXPECT_TRUE(drives.refresh());
    EXPECT_EQ(drives.count(), 3);
    EXPECT_EQ(drives.Drive(), "/");
    EXPECT_EQ(changes.count(), 0);
}

TEST_F(DriveListTest, volumeOf_picksLongestMountPointOnComponentBoundary) {
    const std::vector<Volume> volumes = {{"/", "", ""}, {"/home", "", ""}, {"/home/me/x", "", ""}};
    EXPECT_EQ(DriveList::volumeOf("/home/me", volumes), "/home");
    EXPECT_EQ(DriveList::volumeOf("/homework", volumes), "/");
    EXPECT_EQ(DriveList::volumeOf("/home/me/x", volumes), "/home/me/x");
    EXPECT_EQ(DriveList::volumeOf("/home/me/x/y", volumes), "/home/me/x");
}

}  // namespace
}  // namespace corvid
