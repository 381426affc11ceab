#include "platform/graph/FfmpegGraphFactory.h"

#include "platform/graph/FfmpegGraph.h"

namespace corvid {

std::shared_ptr<FilgraphManager> FfmpegGraphFactory::CreateFilgraphManager() {
    return std::make_shared<FfmpegGraph>();
}

}  // namespace corvid
