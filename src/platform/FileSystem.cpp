#include "platform/FileSystem.h"

#include <utility>

#include "platform/LocalFileSystem.h"

namespace corvid {

namespace {

std::shared_ptr<IFileSystem>& installed() {
    static std::shared_ptr<IFileSystem> fileSystem = std::make_shared<LocalFileSystem>();
    return fileSystem;
}

}  // namespace

std::shared_ptr<IFileSystem> FileSystem::current() {
    return installed();
}

void FileSystem::setCurrent(std::shared_ptr<IFileSystem> fileSystem) {
    installed() = std::move(fileSystem);
}

FileSystem::Scoped::Scoped(std::shared_ptr<IFileSystem> fileSystem) : previous_(current()) {
    setCurrent(std::move(fileSystem));
}

FileSystem::Scoped::~Scoped() {
    setCurrent(std::move(previous_));
}

}  // namespace corvid
