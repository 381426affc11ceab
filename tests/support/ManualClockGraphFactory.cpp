#include "support/ManualClockGraphFactory.h"

#include "platform/graph/FfmpegGraph.h"

namespace corvid {

std::shared_ptr<FilgraphManager> ManualClockGraphFactory::CreateFilgraphManager() {
    FfmpegGraph::Options options;
    options.clock = clock;
    options.audioOutput = [this](int rate) {
        auto output = std::make_unique<CapturingAudioOutput>(rate);
        captured = output.get();
        return output;
    };
    return std::make_shared<FfmpegGraph>(options);
}

}  // namespace corvid
