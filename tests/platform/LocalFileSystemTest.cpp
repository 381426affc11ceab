#include "platform/files/LocalFileSystem.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "util/Failure.h"

namespace corvid {
namespace {

class LocalFileSystemTest : public ::testing::Test {
protected:
    // Names that are not UTF-8 are beyond QDir, so the folder is removed byte-wise.
    void TearDown() override {
        std::filesystem::remove_all(
            std::filesystem::path(QFile::encodeName(dir.path()).toStdString()));
    }

    QString path(const QString& name) const { return dir.path() + u'/' + name; }

    void touch(const QString& name) const {
        QFile file(path(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly)) << name.toStdString();
    }

    void touchRaw(const QByteArray& name) const {
        const int fd = ::open((QFile::encodeName(dir.path()) + '/' + name).constData(),
                              O_CREAT | O_WRONLY, 0644);
        ASSERT_GE(fd, 0);
        ::close(fd);
    }

    void makeFolder(const QString& name) const { ASSERT_TRUE(QDir(dir.path()).mkpath(name)); }

    QStringList readAll(const QString& folder) {
        QStringList names;
        const auto reader = fs.readRecordingFiles(folder);
        while (const auto name = reader->next()) names.append(*name);
        return names;
    }

    // The folder's entries as the system lists them.
    QStringList systemOrder() const {
        QStringList names;
        DIR* d = opendir(QFile::encodeName(dir.path()).constData());
        while (const dirent* entry = readdir(d)) names.append(QFile::decodeName(entry->d_name));
        closedir(d);
        return names;
    }

    QTemporaryDir dir;
    LocalFileSystem fs;
};

TEST_F(LocalFileSystemTest, readRecordingFiles_returnsOrdinaryAsfFilesInAnyCase_only) {
    for (const char* name :
         {"a-1.asf", "B-2.ASF", "clip.Asf", "notes.txt", "asf", ".hidden.asf", "x.asf.bak"}) {
        touch(QString::fromLatin1(name));
    }
    makeFolder("folder.asf");
    ASSERT_EQ(mkfifo(QFile::encodeName(path("pipe.asf")).constData(), 0644), 0);
    ASSERT_TRUE(QFile::link(path("a-1.asf"), path("link-1.asf")));
    ASSERT_TRUE(QFile::link(path("folder.asf"), path("linkdir.asf")));
    ASSERT_TRUE(QFile::link(path("gone"), path("dangling.asf")));

    QStringList names = readAll(dir.path());
    names.sort();
    EXPECT_EQ(names, QStringList({"B-2.ASF", "a-1.asf", "clip.Asf", "link-1.asf"}));
}

TEST_F(LocalFileSystemTest, readRecordingFiles_keepsSystemOrder_andOddNamesExactly) {
    const QStringList created = {"z-1.asf", "a-1.asf", "tab\there-1.asf", "new\nline.asf",
                                 "m.asf",   "b-2.asf", "ünï-1.ASF"};
    for (const QString& name : created) touch(name);
    touchRaw("bad\xff-1.asf");  // not UTF-8: cannot be named as text, so never listed

    QStringList expected;
    for (const QString& name : systemOrder()) {
        if (created.contains(name)) expected.append(name);
    }
    EXPECT_EQ(readAll(dir.path()), expected);
    EXPECT_EQ(readAll(dir.path() + u'/'), expected);
}

TEST_F(LocalFileSystemTest, readRecordingFiles_throws_whenFolderMissingOrNotAFolder) {
    touch("file.asf");
    for (const QString& folder : {path("missing"), path("file.asf")}) {
        try {
            fs.readRecordingFiles(folder);
            FAIL() << "no failure for " << folder.toStdString();
        } catch (const Failure& failure) {
            EXPECT_EQ(failure.code(), Failure::FileSystem);
            EXPECT_NE(QString::fromStdString(failure.what()).indexOf(folder), -1);
        }
    }
}

TEST_F(LocalFileSystemTest, readRecordingFiles_throws_whenFolderRemovedWhileRead) {
    makeFolder("sub");
    for (int i = 0; i < 5; ++i) touch(QStringLiteral("sub/r%1-1.asf").arg(i));
    const auto reader = fs.readRecordingFiles(path("sub"));
    ASSERT_TRUE(reader->next().has_value());
    ASSERT_TRUE(QDir(path("sub")).removeRecursively());
    EXPECT_THROW(
        {
            while (reader->next()) {
            }
        },
        Failure);
}

TEST_F(LocalFileSystemTest, readRecordingFiles_throws_whenFolderReplacedWhileRead) {
    makeFolder("sub");
    touch("sub/a-1.asf");
    const auto reader = fs.readRecordingFiles(path("sub"));
    ASSERT_EQ(rename(QFile::encodeName(path("sub")).constData(),
                     QFile::encodeName(path("old")).constData()),
              0);
    makeFolder("sub");
    EXPECT_THROW(
        {
            while (reader->next()) {
            }
        },
        Failure);
}

TEST_F(LocalFileSystemTest, findFile_yieldsNameOnDisk_ignoringLetterCaseOfNameOnly) {
    touch("Run-2.ASF");
    touch("tab\tname-1.asf");
    makeFolder("dir-2.asf");
    touch(".hidden-2.asf");

    EXPECT_EQ(fs.findFile(path("Run-2.ASF")), path("Run-2.ASF"));
    EXPECT_EQ(fs.findFile(path("run-2.asf")), path("Run-2.ASF"));
    EXPECT_EQ(fs.findFile(path("TAB\tNAME-1.asf")), path("tab\tname-1.asf"));
    EXPECT_EQ(fs.findFile(path("tab")), std::nullopt);
    EXPECT_EQ(fs.findFile(path("dir-2.asf")), std::nullopt);
    EXPECT_EQ(fs.findFile(path(".hidden-2.asf")), std::nullopt);
    EXPECT_EQ(fs.findFile(path(".HIDDEN-2.asf")), std::nullopt);
    EXPECT_EQ(fs.findFile(path("other-2.asf")), std::nullopt);
    // The folder part is a path, not a name: it is not folded.
    EXPECT_THROW(fs.findFile(dir.path().toUpper() + "/Run-2.ASF"), Failure);
}

TEST_F(LocalFileSystemTest, findFile_neverMatchesNamesThatAreNotText) {
    touchRaw("a\xff-1.asf");
    touchRaw("a\xfe-1.asf");
    EXPECT_EQ(fs.findFile(path(QFile::decodeName("a\xff-1.asf"))), std::nullopt);
    EXPECT_EQ(fs.findFile(path(QString::fromUtf16(u"a\uFFFD-1.asf"))), std::nullopt);
}

TEST_F(LocalFileSystemTest, childFoldersAndTests_seeFoldersOnly) {
    makeFolder("b");
    makeFolder("A");
    makeFolder(".git");
    makeFolder("x.asf");
    touch("file");
    ASSERT_TRUE(QFile::link(path("b"), path("link")));

    QStringList children = fs.childFolders(dir.path());
    children.sort();
    EXPECT_EQ(children, QStringList({"A", "b", "link", "x.asf"}));
    EXPECT_TRUE(fs.isFolder(path("A")));
    EXPECT_FALSE(fs.isFolder(path("file")));
    EXPECT_FALSE(fs.isFolder(path("none")));
    EXPECT_TRUE(fs.isOrdinaryFile(path("file")));
    EXPECT_FALSE(fs.isOrdinaryFile(path("FILE")));
    EXPECT_FALSE(fs.isOrdinaryFile(path("x.asf")));
    EXPECT_THROW(fs.childFolders(path("none")), Failure);
}

TEST_F(LocalFileSystemTest, parseMounts_keepsVolumesThatHoldFiles) {
    const QByteArray table =
        "proc /proc proc rw 0 0\n"
        "overlay / overlay rw 0 0\n"
        "tmpfs /tmp tmpfs rw 0 0\n"
        "/dev/sda2 /home ext4 rw 0 0\n"
        "/dev/sda1 /boot/efi vfat rw 0 0\n"
        "/dev/sda2 /etc/hosts ext4 rw 0 0\n"
        "/dev/loop3 /snap/core/1 squashfs ro 0 0\n"
        "/dev/sdb1 /media/me/My\\040Disk vfat rw 0 0\n"
        "/dev/sdc1 /run/media/me/CAM exfat rw 0 0\n"
        "tmpfs /run/user/1000 tmpfs rw 0 0\n"
        "server:/export /mnt/nas nfs4 rw 0 0\n"
        "/dev/sdd1 /mnt/old ext4 rw 0 0\n"
        "tmpfs /mnt/old tmpfs rw 0 0\n"
        "cgroup2 /sys/fs/cgroup cgroup2 rw 0 0\n";
    std::vector<QString> mountPoints;
    for (const Volume& volume : LocalFileSystem::parseMounts(table)) {
        mountPoints.push_back(volume.mountPoint);
    }
    EXPECT_EQ(mountPoints, (std::vector<QString>{"/", "/home", "/media/me/My Disk", "/mnt/nas",
                                                 "/run/media/me/CAM"}));
}

TEST_F(LocalFileSystemTest, reachable_asksOnlyLocalVolumes_whetherTheirMountPointIsAFolder) {
    const std::vector<Volume> volumes = {{"/", "/dev/sda1", "ext4"},
                                         {"/mnt/gone", "/dev/sdb1", "vfat"},
                                         {"/mnt/nas", "server:/export", "nfs4"},
                                         {"/mnt/share", "//server/share", "cifs"},
                                         {"/mnt/ssh", "me@host:/", "fuse.sshfs"},
                                         {"/mnt/ntfs", "/dev/sdc1", "fuseblk"}};
    std::vector<QString> asked;
    const auto kept = LocalFileSystem::reachable(volumes, [&](const QString& mountPoint) {
        asked.push_back(mountPoint);
        return mountPoint != "/mnt/gone";
    });
    EXPECT_EQ(asked, (std::vector<QString>{"/", "/mnt/gone"}));
    std::vector<QString> mountPoints;
    for (const Volume& volume : kept) mountPoints.push_back(volume.mountPoint);
    EXPECT_EQ(mountPoints,
              (std::vector<QString>{"/", "/mnt/nas", "/mnt/share", "/mnt/ssh", "/mnt/ntfs"}));
}

TEST_F(LocalFileSystemTest, volumes_includeRoot) {
    const std::vector<Volume> volumes = fs.volumes();
    ASSERT_FALSE(volumes.empty());
    EXPECT_EQ(volumes.front().mountPoint, "/");
}

}  // namespace
}  // namespace corvid
