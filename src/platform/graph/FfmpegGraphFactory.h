#pragma once

#include "platform/graph/IGraphFactory.h"

namespace corvid {

// Creates graphs of the FFmpeg player core.
class FfmpegGraphFactory : public IGraphFactory {
public:
    std::shared_ptr<FilgraphManager> CreateFilgraphManager() override;
};

}  // namespace corvid
