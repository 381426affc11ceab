#include "main_window/DefaultServices.h"

#include <memory>

#include "file_dialogs/QtFileChooser.h"
#include "platform/files/FileChooser.h"
#include "platform/files/FileSystem.h"
#include "platform/files/LocalFileSystem.h"
#include "platform/graph/FfmpegGraphFactory.h"
#include "platform/graph/GraphFactory.h"

namespace corvid {

void installDefaultServices() {
    GraphFactory::setCurrent(std::make_shared<FfmpegGraphFactory>());
    FileSystem::setCurrent(std::make_shared<LocalFileSystem>());
    FileChooser::setCurrent(std::make_shared<QtFileChooser>());
}

}  // namespace corvid
