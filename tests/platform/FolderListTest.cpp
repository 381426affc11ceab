#include "platform/file_views/FolderList.h"

#include <gtest/gtest.h>

#include <QSignalSpy>
#include <QTest>

#include "platform/files/FileSystem.h"
#include "support/FakeFileSystem.h"
#include "util/Failure.h"

namespace corvid {
namespace {

class FolderListTest : public ::testing::Test {
protected:
    FolderListTest() {
        fake->setVolumes({{"/", "/dev/sda1", "ext4"}, {"/media/usb", "/dev/sdb1", "vfat"}});
        for (const char* folder : {"/home/me/rec/b", "/home/me/rec/A", "/home/me/rec/.cache",
                                   "/media/usb/day1", "/media/usb/day2"}) {
            fake->addFolder(folder);
        }
        fake->addFile("/home/me/rec/file.asf");
        fake->setCurrentFolder("/home/me");
    }

    // Each row as its indented path, in display order.
    QStringList rows() const {
        QStringList result;
        QTreeWidgetItemIterator it(const_cast<FolderList*>(&folders));
        for (; *it; ++it) result.append((*it)->data(0, FolderList::PathRole).toString());
        return result;
    }

    std::shared_ptr<FakeFileSystem> fake = std::make_shared<FakeFileSystem>();
    FileSystem::Scoped scoped{fake};
    FolderList folders;
    QSignalSpy changes{&folders, &FolderList::Change};
};

TEST_F(FolderListTest, setPath_showsAncestorsAndChildren_andRaisesChangeOnlyOnChange) {
    EXPECT_EQ(folders.Path(), QString());
    folders.setPath("/home/me/rec/");
    EXPECT_EQ(folders.Path(), "/home/me/rec");
    EXPECT_EQ(rows(), QStringList({"/", "/home", "/home/me", "/home/me/rec", "/home/me/rec/A",
                                   "/home/me/rec/b"}));
    EXPECT_EQ(folders.currentItem()->data(0, FolderList::PathRole), "/home/me/rec");
    EXPECT_EQ(changes.count(), 1);

    folders.setPath("/home/me/rec/A/..");
    EXPECT_EQ(changes.count(), 1);
    EXPECT_THROW(folders.setPath("/home/me/none"), Failure);
    EXPECT_THROW(folders.setPath("/home/me/rec/file.asf"), Failure);
    EXPECT_EQ(folders.Path(), "/home/me/rec");
    EXPECT_EQ(changes.count(), 1);
}

TEST_F(FolderListTest, setPath_givesVolumesCurrentFolder_forMountPoint) {
    folders.setPath("/");  // the current folder lies on the root volume
    EXPECT_EQ(folders.Path(), "/home/me");
    folders.setPath("/media/usb");  // never shown yet
    EXPECT_EQ(folders.Path(), "/media/usb");

    folders.setPath("/media/usb/day2");
    folders.setPath("/home/me/rec");
    folders.setPath("/media/usb");  // the folder last shown there
    EXPECT_EQ(folders.Path(), "/media/usb/day2");

    folders.setPath("/home/me/rec");
    fake->remove("/media/usb/day2");
    folders.setPath("/media/usb");
    EXPECT_EQ(folders.Path(), "/media/usb");
}

TEST_F(FolderListTest, userOpensFolders_withDoubleClickAndEnter) {
    folders.resize(300, 400);
    folders.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&folders));
    folders.setPath("/home/me/rec");
    changes.clear();

    QTreeWidgetItem* child = folders.findItems("A", Qt::MatchExactly | Qt::MatchRecursive)[0];
    const QRect rect = folders.visualItemRect(child);
    // A real double-click: press and release, then the second press arrives as a double-click.
    QTest::mouseClick(folders.viewport(), Qt::LeftButton, {}, rect.center());
    QTest::mouseDClick(folders.viewport(), Qt::LeftButton, {}, rect.center());
    ASSERT_TRUE(QTest::qWaitFor([&] { return changes.count() == 1; }, 2000));
    EXPECT_EQ(folders.Path(), "/home/me/rec/A");

    // Up twice to the "me" row, then Enter.
    folders.setFocus();
    QTest::keyClick(&folders, Qt::Key_Up);
    QTest::keyClick(&folders, Qt::Key_Up);
    QTest::keyClick(&folders, Qt::Key_Return);
    ASSERT_TRUE(QTest::qWaitFor([&] { return changes.count() == 2; }, 2000));
    EXPECT_EQ(folders.Path(), "/home/me");

    // Enter on the folder already shown changes nothing.
    QTest::keyClick(&folders, Qt::Key_Return);
    QTest::qWait(20);
    EXPECT_EQ(changes.count(), 2);
}

TEST_F(FolderListTest, openingVanishedFolder_movesToNearestExistingAncestor) {
    folders.setPath("/home/me/rec");
    changes.clear();
    QTreeWidgetItem* child = folders.findItems("b", Qt::MatchExactly | Qt::MatchRecursive)[0];
    fake->remove("/home/me/rec");
    folders.setCurrentItem(child);
    QTest::keyClick(&folders, Qt::Key_Return);
    ASSERT_TRUE(QTest::qWaitFor([&] { return changes.count() == 1; }, 2000));
    EXPECT_EQ(folders.Path(), "/home/me");

    fake->remove("/home");
    folders.refresh();
    EXPECT_EQ(folders.Path(), "/");
    EXPECT_EQ(changes.count(), 2);
}

TEST_F(FolderListTest, oddNames_areShownVisibly_butOpenedExactly) {
    fake->addFolder("/home/me/tab\there");
    fake->setUnreadable("/home/me/locked");
    fake->addFolder("/home/me/locked");
    folders.setPath("/home/me");
    const auto found = folders.findItems(QString::fromUtf16(u"tab\u2409here"),
                                         Qt::MatchExactly | Qt::MatchRecursive);
    ASSERT_EQ(found.size(), 1);
    EXPECT_EQ(found[0]->data(0, FolderList::PathRole), "/home/me/tab\there");

    // A folder that cannot be read is still shown, without children.
    folders.setPath("/home/me/locked");
    EXPECT_EQ(folders.Path(), "/home/me/locked");
    EXPECT_EQ(rows().size(), 4);
}

}  // namespace
}  // namespace corvid
