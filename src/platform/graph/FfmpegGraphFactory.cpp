#include "platform/graph/FfmpegGraphFactory.h"

#include "platform/graph/FfmpegGraph.h"
#include "platform/graph/FfmpegPlaybackClock.h"
#include "player/MonotonicClock.h"
#include "player/PreparedOpens.h"

namespace corvid {

FfmpegGraphFactory::FfmpegGraphFactory() : prepared_(std::make_shared<PreparedOpens>()) {}

std::shared_ptr<FilgraphManager> FfmpegGraphFactory::CreateFilgraphManager() {
    FfmpegGraph::Options options;
    options.prepared = prepared_;
    return std::make_shared<FfmpegGraph>(std::move(options));
}

std::shared_ptr<IPlaybackClock> FfmpegGraphFactory::CreatePlaybackClock() {
    return std::make_shared<FfmpegPlaybackClock>(std::make_shared<MonotonicClock>());
}

void FfmpegGraphFactory::PrepareFile(const std::string& fileName) {
    prepared_->prepare(fileName, FfmpegGraph::Options{}.openTimeout);
}

}  // namespace corvid
