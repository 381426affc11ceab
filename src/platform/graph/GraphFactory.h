#pragma once

#include "platform/graph/IGraphFactory.h"
#include "util/Installed.h"

namespace corvid {

// The process-wide graph factory.
using GraphFactory = Installed<IGraphFactory>;

}  // namespace corvid
