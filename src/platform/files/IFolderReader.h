#pragma once

#include <optional>

#include <QString>

namespace corvid {

// Reads one folder's matching names one at a time, so that the caller can let the window
// breathe between names.
class IFolderReader {
public:
    virtual ~IFolderReader() = default;

    // The next name (without folder), or nothing at the end. Throws Failure(FileSystem) when
    // reading fails or the folder is removed while it is being read.
    virtual std::optional<QString> next() = 0;
};

}  // namespace corvid
