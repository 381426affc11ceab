#include "support/ManualClockGraphFactory.h"

#include "platform/graph/FfmpegGraph.h"

namespace corvid {

std::shared_ptr<FilgraphManager> ManualClockGraphFactory::CreateFilgraphManager() {
    FfmpegGraph::Options options;
    options.clock = clock;
    options.faults = faults;
    options.audioOutput = [this](int rate) -> std::unique_ptr<IAudioOutput> {
        if (soundDevices) {
            auto device = std::make_unique<ManualSoundOutput>(rate, clock, 0.2, devices);
            if (soundServerSeconds > 0) device->throughServer(soundServerSeconds);
            if (recordSound) device->record();
            return device;
        }
        auto output = std::make_unique<CapturingAudioOutput>(rate);
        captured = output.get();
        return output;
    };
    return std::make_shared<FfmpegGraph>(options);
}

std::shared_ptr<IPlaybackClock> ManualClockGraphFactory::CreatePlaybackClock() {
    auto made = std::make_shared<FfmpegPlaybackClock>(clock);
    playbackClock = made;
    return made;
}

}  // namespace corvid
