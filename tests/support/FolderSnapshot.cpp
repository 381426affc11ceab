#include "support/FolderSnapshot.h"

#include <sys/stat.h>

#include <algorithm>
#include <filesystem>

namespace corvid::test {

FolderSnapshot FolderSnapshot::of(const std::string& folder) {
    namespace fs = std::filesystem;
    FolderSnapshot snapshot;
    std::error_code error;
    // Links are listed, not followed: a loop among the folders must not make this endless.
    for (auto it = fs::recursive_directory_iterator(
             folder, fs::directory_options::skip_permission_denied, error);
         !error && it != fs::recursive_directory_iterator(); it.increment(error)) {
        struct stat status {};
        if (lstat(it->path().c_str(), &status) != 0) continue;
        snapshot.entries_.push_back(
            it->path().string() + " mode " + std::to_string(status.st_mode) + " size " +
            std::to_string(status.st_size) + " mtime " + std::to_string(status.st_mtim.tv_sec) +
            "." + std::to_string(status.st_mtim.tv_nsec));
    }
    std::sort(snapshot.entries_.begin(), snapshot.entries_.end());
    return snapshot;
}

}  // namespace corvid::test
