#pragma once

#include "platform/IGraphFactory.h"

namespace corvid {

// Creates graphs of the FFmpeg player core.
class FfmpegGraphFactory : public IGraphFactory {
public:
    std::shared_ptr<FilgraphManager> CreateFilgraphManager() override;
};

}  // namespace corvid
