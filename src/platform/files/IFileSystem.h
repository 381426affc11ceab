#pragma once

#include <memory>
#include <optional>
#include <vector>

#include <QString>
#include <QStringList>

#include "platform/files/IFolderReader.h"
#include "platform/files/Volume.h"

namespace corvid {

// What Corvid needs from the file system. Folder arguments are absolute paths with "/" as
// separator. An "ordinary file" is a regular file (a link to one counts) whose name does not
// start with "."; names that cannot be told apart as text (bytes that are not UTF-8) are left
// out everywhere, so such a file can never be mistaken for another. Every failure of the
// system throws Failure(Failure::FileSystem) with a message meant for the user.
class IFileSystem {
public:
    virtual ~IFileSystem() = default;

    // Starts reading the ordinary files of `folder` whose names end in ".asf" in any letter
    // case, in the order the system lists them. Throws when the folder cannot be opened.
    virtual std::unique_ptr<IFolderReader> readRecordingFiles(const QString& folder) = 0;

    // Looks for an ordinary file by full name, comparing the name (not the folder) without
    // regard to letter case. Yields the full name as it is on disk, or nothing when there is no
    // such file. Throws when the folder does not exist or cannot be read.
    virtual std::optional<QString> findFile(const QString& fullName) = 0;

    // Whether exactly this full name is an ordinary file right now (letter case counts).
    virtual bool isOrdinaryFile(const QString& fullName) = 0;

    // Whether the path names an existing folder (a link to one counts).
    virtual bool isFolder(const QString& path) = 0;

    // The names of the folders inside `folder` that are not hidden, in the system's order.
    // Throws when the folder cannot be read.
    virtual QStringList childFolders(const QString& folder) = 0;

    // The mounted volumes that hold files (no kernel or memory file systems), by mount point.
    virtual std::vector<Volume> volumes() = 0;

    // The process's current folder.
    virtual QString currentFolder() = 0;
};

}  // namespace corvid
