#pragma once

#include "platform/files/IFileChooser.h"
#include "util/Installed.h"

namespace corvid {

// The process-wide file chooser.
using FileChooser = Installed<IFileChooser>;

}  // namespace corvid
