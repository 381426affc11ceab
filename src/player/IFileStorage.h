#pragma once

#include <memory>
#include <string>

#include "player/IStoredFile.h"

namespace corvid {

// Where recordings are read from: the local file system in the program, memory or storage
// that fails on purpose in tests and the fuzzer. Opening may block as long as the storage
// does; FileReader opens on a thread of its own.
class IFileStorage {
public:
    // What a file is opened for, so that the storage can read ahead to suit.
    enum class Use { Playing, EndScan };

    virtual ~IFileStorage() = default;

    // Opens a regular file for reading; throws Failure(CannotOpen) when it cannot.
    virtual std::unique_ptr<IStoredFile> open(const std::string& path, Use use) = 0;
};

}  // namespace corvid
