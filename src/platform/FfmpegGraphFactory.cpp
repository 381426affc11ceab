#include "platform/FfmpegGraphFactory.h"

#include "platform/Failure.h"
#include "platform/FilgraphManager.h"

namespace corvid {

// Scaffolding until the player core lands.
std::shared_ptr<FilgraphManager> FfmpegGraphFactory::CreateFilgraphManager() {
    throw Failure(Failure::NotImplemented, "The player core is not built yet");
}

}  // namespace corvid
