#pragma once

#include <string>
#include <vector>

namespace corvid::test {

// Every entry under a folder with its kind, size and modification time, to show that
// nothing was written, renamed or removed there.
class FolderSnapshot {
public:
    static FolderSnapshot of(const std::string& folder);

    const std::vector<std::string>& entries() const { return entries_; }
    bool operator==(const FolderSnapshot& other) const = default;

private:
    std::vector<std::string> entries_;
};

}  // namespace corvid::test
