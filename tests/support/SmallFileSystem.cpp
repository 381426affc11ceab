#include "support/SmallFileSystem.h"

#include <sys/mount.h>

#include <QDir>
#include <cerrno>
#include <cstring>

namespace corvid::test {

SmallFileSystem::SmallFileSystem(const QString& folder, const QString& size) : folder_(folder) {
    QDir().mkpath(folder_);
    const QByteArray options = ("size=" + size).toLocal8Bit();
    mounted_ =
        ::mount("tmpfs", folder_.toLocal8Bit().constData(), "tmpfs", 0, options.constData()) == 0;
    if (!mounted_) error_ = QString::fromLocal8Bit(std::strerror(errno));
}

SmallFileSystem::~SmallFileSystem() {
    if (mounted_) ::umount2(folder_.toLocal8Bit().constData(), MNT_DETACH);
}

QString SmallFileSystem::filePath(const QString& name) const {
    return QDir(folder_).filePath(name);
}

QStringList SmallFileSystem::files() const {
    return QDir(folder_).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot);
}

}  // namespace corvid::test
