#pragma once

#include "platform/files/IFileSystem.h"
#include "util/Installed.h"

namespace corvid {

// The process-wide file system.
using FileSystem = Installed<IFileSystem>;

}  // namespace corvid
