#include "player/PendingFile.h"

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "util/Failure.h"

namespace corvid {

namespace {

namespace fs = std::filesystem;

std::string temporaryNameFor(const std::string& target) {
    static std::atomic<int> counter{0};
    const fs::path path(target);
    return (path.parent_path() / ("." + path.filename().string() + ".part-" +
                                  std::to_string(getpid()) + "-" + std::to_string(++counter)))
        .string();
}

void syncPath(const std::string& path, const std::string& shown, int flags) {
    const int fd = ::open(path.c_str(), flags | O_CLOEXEC);
    if (fd < 0) return;
    const int synced = ::fsync(fd);
    const int error = errno;
    ::close(fd);
    if (synced != 0 && error != EINVAL)
        throw Failure(Failure::FileSystem, "Cannot save " + shown + ": " + std::strerror(error));
}

// File systems that cannot rename without replacing, or link, say so with these.
bool unsupported(int error) {
    return error == EINVAL || error == ENOSYS || error == EOPNOTSUPP || error == EPERM;
}

}  // namespace

PendingFile::PendingFile(std::string target)
    : target_(std::move(target)), temporary_(temporaryNameFor(target_)) {}

PendingFile::~PendingFile() {
    discard();
}

void PendingFile::discard() {
    std::error_code error;
    fs::remove(temporary_, error);
}

void PendingFile::sync() const {
    syncPath(temporary_, target_, O_RDONLY);
}

int PendingFile::renameWithoutReplacing() const {
    if (::renameat2(AT_FDCWD, temporary_.c_str(), AT_FDCWD, target_.c_str(), RENAME_NOREPLACE) == 0)
        return 0;
    if (!unsupported(errno)) return errno;
    // A second name for the file, then the temporary one dropped: a link never replaces.
    if (::link(temporary_.c_str(), target_.c_str()) == 0) {
        ::unlink(temporary_.c_str());
        return 0;
    }
    if (!unsupported(errno)) return errno;
    // Neither (FAT and most FUSE file systems): the name is taken first, empty, so that
    // the rename can only replace the file made here.
    const int placeholder =
        ::open(target_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, S_IRUSR | S_IWUSR);
    if (placeholder < 0) return errno;
    ::close(placeholder);
    if (::rename(temporary_.c_str(), target_.c_str()) == 0) return 0;
    const int error = errno;
    ::unlink(target_.c_str());
    return error;
}

void PendingFile::publish() {
    if (const int error = renameWithoutReplacing(); error != 0) {
        discard();
        throw Failure(Failure::FileSystem,
                      error == EEXIST ? "A file named " + target_ + " already exists"
                                      : "Cannot save " + target_ + ": " + std::strerror(error));
    }
    syncPath(fs::path(target_).parent_path().string(), target_, O_RDONLY | O_DIRECTORY);
}

}  // namespace corvid
