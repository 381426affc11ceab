#pragma once

#include <memory>

#include "platform/IFileSystem.h"

namespace corvid {

// The process-wide file system: the local one unless a test installed another.
class FileSystem {
public:
    static std::shared_ptr<IFileSystem> current();
    static void setCurrent(std::shared_ptr<IFileSystem> fileSystem);

    // Installs a file system for the lifetime of the scope (tests).
    class Scoped {
    public:
        explicit Scoped(std::shared_ptr<IFileSystem> fileSystem);
        ~Scoped();
        Scoped(const Scoped&) = delete;
        Scoped& operator=(const Scoped&) = delete;

    private:
        std::shared_ptr<IFileSystem> previous_;
    };
};

}  // namespace corvid
