#include "support/BlockingMirror.h"

#include <QDir>
#include <QFile>

#include "support/Eventually.h"

namespace corvid::test {

namespace {

const QString kPython = QStringLiteral("/usr/bin/python3");

bool hasFusepy() {
    for (const char* module : {"fusepy", "fuse"}) {
        if (QProcess::execute(kPython, {"-c", QStringLiteral("import %1").arg(module)}) == 0)
            return true;
    }
    return false;
}

}  // namespace

BlockingMirror::~BlockingMirror() {
    unblockAll();
    if (mounted_ && !eventually([this] { return unmount(); }, 10000))
        QProcess::execute("umount", {"-l", mountPoint()});
    if (mirror_.state() != QProcess::NotRunning && !mirror_.waitForFinished(5000)) mirror_.kill();
}

bool BlockingMirror::mount(const QString& folder) {
    if (!QFile::exists("/dev/fuse") || !hasFusepy()) return false;
    mirror_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    mirror_.start(kPython, {QStringLiteral(CORVID_TEST_SUPPORT_DIR "/blocking-mirror.py"), folder,
                            mountPoint(), control_.filePath("blocked")});
    // Mounted once the mirrored files show, or not at all when the mirror ends first.
    const QStringList files = QDir(folder).entryList(QDir::Files);
    mounted_ =
        eventually(
            [&] {
                return mirror_.state() == QProcess::NotRunning ||
                       (!files.isEmpty() && QFile::exists(mountPoint() + "/" + files.first()));
            },
            10000) &&
        mirror_.state() != QProcess::NotRunning;
    return mounted_;
}

void BlockingMirror::block(const QString& name) {
    QFile control(control_.filePath("blocked"));
    if (control.open(QIODevice::Append)) control.write((name + "\n").toUtf8());
}

void BlockingMirror::unblockAll() {
    QFile::remove(control_.filePath("blocked"));
}

bool BlockingMirror::held(const QString& name) {
    said_ += QString::fromUtf8(mirror_.readAllStandardOutput());
    return said_.split('\n').contains("held " + name);
}

bool BlockingMirror::unmount() {
    if (!mounted_) return true;
    if (QProcess::execute("umount", {mountPoint()}) != 0 &&
        QProcess::execute("fusermount", {"-u", mountPoint()}) != 0)
        return false;
    mounted_ = false;
    return true;
}

}  // namespace corvid::test
