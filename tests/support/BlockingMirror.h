#pragma once

#include <QProcess>
#include <QString>
#include <QTemporaryDir>

namespace corvid::test {

// A real FUSE mount that mirrors a folder read-only and holds the reads of chosen files
// in the kernel until they are let go, as a network share or a USB disk that stops
// answering does (tests/support/blocking-mirror.py, on Debian's python3-fusepy).
class BlockingMirror {
public:
    // Lets every read go, unmounts and ends the mirror.
    ~BlockingMirror();

    // Mirrors `folder`; false where FUSE mounts cannot be made (no /dev/fuse, no fusepy,
    // no right to mount).
    bool mount(const QString& folder);
    QString mountPoint() const { return mountPoint_.path(); }

    // Holds the reads of the files of that name from now on, until unblockAll().
    void block(const QString& name);
    void unblockAll();
    // Whether a read of that file has been held.
    bool held(const QString& name);
    // Unmounts; false while a file of the mirror is still open.
    bool unmount();

private:
    QTemporaryDir mountPoint_;
    QTemporaryDir control_;
    QProcess mirror_;
    QString said_;
    bool mounted_ = false;
};

}  // namespace corvid::test
