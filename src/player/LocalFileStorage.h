#pragma once

#include "player/IFileStorage.h"

namespace corvid {

// The files of the local file system and of what is mounted into it.
class LocalFileStorage : public IFileStorage {
public:
    // Only regular files: opening a pipe or a device could block for good, or never end.
    std::unique_ptr<IStoredFile> open(const std::string& path, Use use) override;
};

}  // namespace corvid
