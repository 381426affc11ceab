#include "platform/FileChooser.h"

#include <utility>

#include "platform/QtFileChooser.h"

namespace corvid {

namespace {

std::shared_ptr<IFileChooser>& installed() {
    static std::shared_ptr<IFileChooser> chooser = std::make_shared<QtFileChooser>();
    return chooser;
}

}  // namespace

std::shared_ptr<IFileChooser> FileChooser::current() {
    return installed();
}

void FileChooser::setCurrent(std::shared_ptr<IFileChooser> chooser) {
    installed() = std::move(chooser);
}

FileChooser::Scoped::Scoped(std::shared_ptr<IFileChooser> chooser) : previous_(current()) {
    setCurrent(std::move(chooser));
}

FileChooser::Scoped::~Scoped() {
    setCurrent(std::move(previous_));
}

}  // namespace corvid
