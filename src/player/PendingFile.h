#pragma once

#include <string>

namespace corvid {

// A file that is written under a hidden temporary name beside its target and takes the
// target's name only once complete, without ever replacing a file of that name. Until
// then, and after a failure, nothing is left behind: the destructor removes an
// unpublished copy.
class PendingFile {
public:
    explicit PendingFile(std::string target);
    ~PendingFile();
    PendingFile(const PendingFile&) = delete;
    PendingFile& operator=(const PendingFile&) = delete;

    const std::string& target() const { return target_; }
    // Where the contents are written until publish().
    const std::string& temporaryPath() const { return temporary_; }

    // Forces the written contents to storage. Throws Failure(FileSystem).
    void sync() const;
    // Gives the written file the target's name and makes the name durable. Throws
    // Failure(FileSystem), removing the temporary file, when a file of that name exists
    // or the name cannot be given.
    void publish();
    // Removes the temporary file, if any.
    void discard();

private:
    // Renames the temporary file to the target unless the target exists; errno on failure.
    int renameWithoutReplacing() const;

    std::string target_;
    std::string temporary_;
};

}  // namespace corvid
