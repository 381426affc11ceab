#include "platform/FfmpegGraphFactory.h"

#include "platform/player/FfmpegGraph.h"

namespace corvid {

std::shared_ptr<FilgraphManager> FfmpegGraphFactory::CreateFilgraphManager() {
    return std::make_shared<FfmpegGraph>();
}

}  // namespace corvid
