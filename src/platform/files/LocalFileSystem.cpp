#include "platform/files/LocalFileSystem.h"

#include <dirent.h>
#include <sys/stat.h>

#include <cerrno>
#include <map>
#include <set>
#include <system_error>

#include <QDir>
#include <QFile>

#include "platform/files/FolderPath.h"
#include "util/Failure.h"

namespace corvid {

namespace {

struct DirCloser {
    void operator()(DIR* dir) const { closedir(dir); }
};
using DirHandle = std::unique_ptr<DIR, DirCloser>;

enum class Kind { File, Folder, Other };

QString systemMessage(int error) {
    return QString::fromStdString(std::error_code(error, std::generic_category()).message());
}

Failure folderFailure(const QString& folder, int error) {
    QString text;
    if (error == ENOENT || error == ENOTDIR) {
        text = QStringLiteral("The folder \"%1\" does not exist (any more).").arg(folder);
    } else if (error == EACCES || error == EPERM) {
        text = QStringLiteral("The folder \"%1\" cannot be read: permission denied.").arg(folder);
    } else {
        text = QStringLiteral("The folder \"%1\" cannot be read: %2.")
                   .arg(folder, systemMessage(error));
    }
    return Failure(Failure::FileSystem, text.toStdString());
}

DirHandle openFolder(const QString& folder) {
    DirHandle dir(opendir(QFile::encodeName(folder).constData()));
    if (!dir) throw folderFailure(folder, errno);
    return dir;
}

// The name as text, or nothing when the bytes would not come back the same from the text: such
// a name could lead to opening another file than the one listed.
std::optional<QString> textName(const char* raw) {
    const QByteArray bytes(raw);
    QString name = QFile::decodeName(bytes);
    if (QFile::encodeName(name) != bytes) return std::nullopt;
    return name;
}

bool isHidden(const char* raw) {
    return raw[0] == '.';
}

bool hasRecordingSuffix(const char* raw) {
    const QByteArray bytes(raw);
    return bytes.size() >= 4 && bytes.right(4).toLower() == ".asf";
}

Kind kindOf(const struct stat& st) {
    if (S_ISREG(st.st_mode)) return Kind::File;
    if (S_ISDIR(st.st_mode)) return Kind::Folder;
    return Kind::Other;
}

// The directory entry's type without a stat call where the system tells it; links are followed.
Kind kindOf(DIR* dir, const dirent* entry) {
    if (entry->d_type == DT_REG) return Kind::File;
    if (entry->d_type == DT_DIR) return Kind::Folder;
    if (entry->d_type != DT_LNK && entry->d_type != DT_UNKNOWN) return Kind::Other;
    struct stat st {};
    if (fstatat(dirfd(dir), entry->d_name, &st, 0) != 0) return Kind::Other;
    return kindOf(st);
}

// Calls fn(entry) for each entry of an open folder; fn returns false to stop.
template <typename Fn>
void forEachEntry(DIR* dir, const QString& folder, Fn&& fn) {
    for (;;) {
        errno = 0;
        const dirent* entry = readdir(dir);
        if (entry == nullptr) {
            if (errno != 0) throw folderFailure(folder, errno);
            return;
        }
        if (!fn(entry)) return;
    }
}

class LocalRecordingReader : public IFolderReader {
public:
    explicit LocalRecordingReader(const QString& folder)
        : folder_(folder), dir_(openFolder(folder)) {
        if (fstat(dirfd(dir_.get()), &opened_) != 0) throw folderFailure(folder_, errno);
    }

    std::optional<QString> next() override {
        if (!dir_) return std::nullopt;
        std::optional<QString> found;
        forEachEntry(dir_.get(), folder_, [&](const dirent* entry) {
            if (isHidden(entry->d_name) || !hasRecordingSuffix(entry->d_name)) return true;
            found = textName(entry->d_name);
            if (found && kindOf(dir_.get(), entry) == Kind::File) return false;
            found.reset();
            return true;
        });
        if (!found) finish();
        return found;
    }

private:
    // An unlinked folder reads as empty rather than failing, so the end is checked explicitly.
    void finish() {
        struct stat now {};
        const bool unlinked = fstat(dirfd(dir_.get()), &now) == 0 && now.st_nlink == 0;
        struct stat atPath {};
        const bool replaced = stat(QFile::encodeName(folder_).constData(), &atPath) != 0 ||
                              atPath.st_dev != opened_.st_dev || atPath.st_ino != opened_.st_ino;
        dir_.reset();
        if (unlinked || replaced) {
            throw Failure(Failure::FileSystem,
                          QStringLiteral("The folder \"%1\" was removed while it was being read.")
                              .arg(folder_)
                              .toStdString());
        }
    }

    QString folder_;
    DirHandle dir_;
    struct stat opened_ {};
};

// Mount tables escape blanks, tabs, newlines and backslashes as three octal digits.
QByteArray unescapeMountField(const QByteArray& field) {
    QByteArray out;
    out.reserve(field.size());
    for (qsizetype i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 3 < field.size()) {
            bool ok = false;
            const int code = field.mid(i + 1, 3).toInt(&ok, 8);
            if (ok) {
                out.append(char(code));
                i += 3;
                continue;
            }
        }
        out.append(field[i]);
    }
    return out;
}

// Volumes whose answers come from a server or a program rather than a disk of this machine.
bool answeredFromAfar(const Volume& volume) {
    static const std::set<QString> network = {"nfs",   "nfs4", "cifs",       "smb3",
                                              "smbfs", "9p",   "fuse.sshfs", "virtiofs"};
    return network.count(volume.type) != 0 || volume.type.startsWith(QStringLiteral("fuse"));
}

bool holdsFiles(const Volume& volume) {
    static const std::set<QString> memoryOrKernel = {
        "proc",    "sysfs",           "devtmpfs",   "devpts",   "tmpfs",    "ramfs",
        "cgroup",  "cgroup2",         "securityfs", "pstore",   "bpf",      "debugfs",
        "tracefs", "mqueue",          "hugetlbfs",  "configfs", "fusectl",  "binfmt_misc",
        "autofs",  "efivarfs",        "rpc_pipefs", "nsfs",     "squashfs", "selinuxfs",
        "overlay", "fuse.gvfsd-fuse", "fuse.portal"};
    if (volume.mountPoint == "/") return true;
    if (memoryOrKernel.count(volume.type) != 0) return false;
    for (const char* system : {"/proc", "/sys", "/dev", "/run", "/snap", "/boot", "/etc"}) {
        const QString prefix = QString::fromLatin1(system);
        if (volume.mountPoint == prefix || volume.mountPoint.startsWith(prefix + u'/')) {
            if (!volume.mountPoint.startsWith(QStringLiteral("/run/media/"))) return false;
        }
    }
    return volume.device.startsWith(u'/') || answeredFromAfar(volume);
}

}  // namespace

std::unique_ptr<IFolderReader> LocalFileSystem::readRecordingFiles(const QString& folder) {
    return std::make_unique<LocalRecordingReader>(folder);
}

std::optional<QString> LocalFileSystem::findFile(const QString& fullName) {
    const qsizetype slash = fullName.lastIndexOf(u'/');
    const QString folder = slash < 0 ? QStringLiteral(".") : fullName.left(slash == 0 ? 1 : slash);
    const QString name = fullName.mid(slash + 1);
    if (name.isEmpty() || name.startsWith(u'.')) return std::nullopt;
    // Most lookups name the file as it is on disk; only a miss needs the folder's listing.
    if (isOrdinaryFile(fullName)) return fullName;
    const DirHandle dir = openFolder(folder);
    std::optional<QString> found;
    forEachEntry(dir.get(), folder, [&](const dirent* entry) {
        if (isHidden(entry->d_name)) return true;
        const std::optional<QString> candidate = textName(entry->d_name);
        if (!candidate || candidate->compare(name, Qt::CaseInsensitive) != 0) return true;
        if (kindOf(dir.get(), entry) != Kind::File) return true;
        found = joined(folder, *candidate);
        return false;
    });
    return found;
}

bool LocalFileSystem::isOrdinaryFile(const QString& fullName) {
    const qsizetype slash = fullName.lastIndexOf(u'/');
    if (fullName.mid(slash + 1).startsWith(u'.') || fullName.endsWith(u'/')) return false;
    struct stat st {};
    if (stat(QFile::encodeName(fullName).constData(), &st) != 0) {
        if (errno == ENOENT || errno == ENOTDIR) return false;
        throw Failure(Failure::FileSystem, QStringLiteral("The file \"%1\" cannot be tested: %2.")
                                               .arg(fullName, systemMessage(errno))
                                               .toStdString());
    }
    return kindOf(st) == Kind::File;
}

bool LocalFileSystem::isFolder(const QString& path) {
    struct stat st {};
    return stat(QFile::encodeName(path).constData(), &st) == 0 && kindOf(st) == Kind::Folder;
}

QStringList LocalFileSystem::childFolders(const QString& folder) {
    const DirHandle dir = openFolder(folder);
    QStringList names;
    forEachEntry(dir.get(), folder, [&](const dirent* entry) {
        if (isHidden(entry->d_name)) return true;
        const std::optional<QString> name = textName(entry->d_name);
        if (name && kindOf(dir.get(), entry) == Kind::Folder) names.append(*name);
        return true;
    });
    return names;
}

std::vector<Volume> LocalFileSystem::volumes() {
    QFile table(QStringLiteral("/proc/self/mounts"));
    if (!table.open(QIODevice::ReadOnly)) {
        throw Failure(Failure::FileSystem, "The list of mounted volumes cannot be read.");
    }
    return reachable(parseMounts(table.readAll()),
                     [this](const QString& mountPoint) { return isFolder(mountPoint); });
}

std::vector<Volume> LocalFileSystem::reachable(
    std::vector<Volume> volumes, const std::function<bool(const QString&)>& isFolder) {
    std::vector<Volume> result;
    for (Volume& volume : volumes) {
        if (answeredFromAfar(volume) || isFolder(volume.mountPoint))
            result.push_back(std::move(volume));
    }
    return result;
}

QString LocalFileSystem::currentFolder() {
    return QDir::currentPath();
}

std::vector<Volume> LocalFileSystem::parseMounts(const QByteArray& table) {
    std::map<QString, Volume> byMountPoint;
    for (const QByteArray& line : table.split('\n')) {
        const QList<QByteArray> fields = line.simplified().split(' ');
        if (fields.size() < 3) continue;
        const QByteArray mountPoint = unescapeMountField(fields[1]);
        Volume volume{QFile::decodeName(mountPoint),
                      QFile::decodeName(unescapeMountField(fields[0])),
                      QString::fromLatin1(fields[2])};
        if (QFile::encodeName(volume.mountPoint) != mountPoint) continue;
        if (!holdsFiles(volume)) {
            byMountPoint.erase(volume.mountPoint);
            continue;
        }
        byMountPoint[volume.mountPoint] = std::move(volume);
    }
    std::vector<Volume> result;
    for (auto& [mountPoint, volume] : byMountPoint) result.push_back(std::move(volume));
    return result;
}

}  // namespace corvid
