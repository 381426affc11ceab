#pragma once

#include <memory>

#include "platform/graph/FfmpegGraph.h"
#include "platform/graph/IGraphFactory.h"

namespace corvid {

class PreparedOpens;

// Creates graphs of the FFmpeg player core, the clocks they share, and opens files ahead
// for them.
class FfmpegGraphFactory : public IGraphFactory {
public:
    // Graphs made with `options`: their storage, time limits and so on.
    explicit FfmpegGraphFactory(FfmpegGraph::Options options = {});

    std::shared_ptr<FilgraphManager> CreateFilgraphManager() override;
    std::shared_ptr<IPlaybackClock> CreatePlaybackClock() override;
    void PrepareFile(const std::string& fileName) override;
    bool FileReady(const std::string& fileName,
                   std::chrono::steady_clock::time_point until) override;

private:
    FfmpegGraph::Options options_;
};

}  // namespace corvid
