#include "player/LocalFileStorage.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "util/Failure.h"

namespace corvid {

namespace {

class LocalStoredFile : public IStoredFile {
public:
    explicit LocalStoredFile(int descriptor) : descriptor_(descriptor) {}
    ~LocalStoredFile() override { ::close(descriptor_); }
    LocalStoredFile(const LocalStoredFile&) = delete;
    LocalStoredFile& operator=(const LocalStoredFile&) = delete;

    int read(std::int64_t offset, std::span<std::uint8_t> into) override {
        for (;;) {
            const ssize_t got = ::pread(descriptor_, into.data(), into.size(), offset);
            if (got >= 0) return static_cast<int>(got);
            if (errno != EINTR) return -errno;
        }
    }

    std::int64_t size() override {
        struct stat status {};
        if (::fstat(descriptor_, &status) != 0) return -errno;
        return status.st_size;
    }

private:
    int descriptor_;
};

}  // namespace

std::unique_ptr<IStoredFile> LocalFileStorage::open(const std::string& path, Use use) {
    // Not blocking on the open itself, which a pipe would; regular files ignore the flag.
    const int descriptor = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (descriptor < 0) throw Failure(Failure::CannotOpen, "Cannot open " + path);
    auto file = std::make_unique<LocalStoredFile>(descriptor);
    struct stat status {};
    if (::fstat(descriptor, &status) != 0 || !S_ISREG(status.st_mode))
        throw Failure(Failure::CannotOpen, "Not a readable file: " + path);
    // The end scan jumps to the end once and reads a little: no read-ahead wasted on it.
    ::posix_fadvise(descriptor, 0, 0,
                    use == Use::Playing ? POSIX_FADV_SEQUENTIAL : POSIX_FADV_RANDOM);
    return file;
}

}  // namespace corvid
