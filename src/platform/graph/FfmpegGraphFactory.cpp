#include "platform/graph/FfmpegGraphFactory.h"

#include "platform/graph/FfmpegGraph.h"
#include "platform/graph/FfmpegPlaybackClock.h"
#include "player/LocalFileStorage.h"
#include "player/MonotonicClock.h"
#include "player/PreparedOpens.h"

namespace corvid {

FfmpegGraphFactory::FfmpegGraphFactory(FfmpegGraph::Options options)
    : options_(std::move(options)) {
    if (!options_.storage) options_.storage = std::make_shared<LocalFileStorage>();
    options_.prepared = std::make_shared<PreparedOpens>();
}

std::shared_ptr<FilgraphManager> FfmpegGraphFactory::CreateFilgraphManager() {
    return std::make_shared<FfmpegGraph>(options_);
}

std::shared_ptr<IPlaybackClock> FfmpegGraphFactory::CreatePlaybackClock() {
    return std::make_shared<FfmpegPlaybackClock>(std::make_shared<MonotonicClock>());
}

void FfmpegGraphFactory::PrepareFile(const std::string& fileName) {
    options_.prepared->prepare(options_.storage, fileName, options_.openTimeout);
}

bool FfmpegGraphFactory::FileReady(const std::string& fileName,
                                   std::chrono::steady_clock::time_point until) {
    return options_.prepared->ready(fileName, until);
}

}  // namespace corvid
