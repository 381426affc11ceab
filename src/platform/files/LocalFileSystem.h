#pragma once

#include <QByteArray>
#include <functional>

#include "platform/files/IFileSystem.h"

namespace corvid {

// The file system of the machine, through the POSIX calls (readdir order is kept).
class LocalFileSystem : public IFileSystem {
public:
    std::unique_ptr<IFolderReader> readRecordingFiles(const QString& folder) override;
    std::optional<QString> findFile(const QString& fullName) override;
    bool isOrdinaryFile(const QString& fullName) override;
    bool isFolder(const QString& path) override;
    QStringList childFolders(const QString& folder) override;
    std::vector<Volume> volumes() override;
    QString currentFolder() override;

    // The volumes of a mount table in the format of /proc/self/mounts that hold files, one per
    // mount point (a later mount hides an earlier one), sorted by mount point.
    static std::vector<Volume> parseMounts(const QByteArray& table);
    // The volumes whose mount point is a folder, as `isFolder` finds. Volumes served over a
    // network or by a program (FUSE) are kept without asking: a server that stopped
    // answering would hold the asker for good, and the drive list is read on the user's
    // thread.
    static std::vector<Volume> reachable(std::vector<Volume> volumes,
                                         const std::function<bool(const QString&)>& isFolder);
};

}  // namespace corvid
