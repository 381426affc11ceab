// libFuzzer entry point for playing a recording of unknown origin: its bytes are served
// from memory through the player's storage layer, opened, their first picture decoded,
// sought to a few places, stepped and played for a few pictures, on a clock the fuzzer
// moves. Never a crash, a read out of bounds, undefined behaviour, a leak or a hang.
#include <chrono>
#include <memory>
#include <thread>
#include <vector>

#include <QLoggingCategory>

extern "C" {
#include <libavutil/log.h>
}

#include "player/MediaOpener.h"
#include "player/MediaSource.h"
#include "player/MemoryFileStorage.h"
#include "player/Pipeline.h"
#include "player/SilentAudioOutput.h"
#include "support/ManualClock.h"
#include "util/Failure.h"

namespace {

using namespace std::chrono_literals;
using namespace corvid;

// What a picture may take; a file slower than this is passed over, not a finding.
constexpr auto kPictureLimit = 200ms;
constexpr char kPath[] = "/fuzz/recording.asf";

std::optional<MediaOpener::Opened> open(const std::uint8_t* data, std::size_t size) {
    auto storage = std::make_shared<MemoryFileStorage>();
    storage->add(kPath, std::make_shared<const std::vector<std::uint8_t>>(data, data + size));
    try {
        MediaOpener::Opened opened;
        opened.source = std::make_unique<MediaSource>(storage, kPath, 5s);
        opened.firstPicture = opened.source->decodeFirstPicture(opened.audioAhead);
        opened.source->finishOpening();
        return opened;
    } catch (const Failure&) {
        return std::nullopt;  // refused cleanly
    }
}

// Moves the clock a picture at a time and waits, within the limit, for each to be shown;
// sound alone gets a moment to play.
void play(Pipeline& pipeline, ManualClock& clock, int pictures) {
    pipeline.run();
    for (int n = 0; n < pictures; ++n) {
        const double shown = pipeline.shownTime();
        clock.advance(0.04);
        const auto until = std::chrono::steady_clock::now() + kPictureLimit;
        do {
            std::this_thread::sleep_for(1ms);
        } while (pipeline.hasVideo() && pipeline.shownTime() == shown &&
                 std::chrono::steady_clock::now() < until);
    }
    pipeline.pause();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // What a damaged file makes the libraries and the player say is no finding.
    static const bool quiet =
        (av_log_set_level(AV_LOG_QUIET),
         QLoggingCategory::setFilterRules(QStringLiteral("corvid.*=false")), true);
    (void)quiet;
    std::optional<MediaOpener::Opened> opened = open(data, size);
    if (!opened) return 0;
    auto clock = std::make_shared<ManualClock>();
    Pipeline::Options options;
    options.clock = clock;
    options.audioOutput = [clock](int rate) {
        return std::make_unique<SilentAudioOutput>(rate, clock);
    };
    Pipeline pipeline(std::move(*opened), std::move(options));
    const double duration = pipeline.duration();
    for (const double share : {0.5, 0.95, 0.1}) {
        pipeline.seek(share * duration);
        // Steps wait for the seek's picture first; sound alone has none.
        if (pipeline.hasVideo()) {
            pipeline.step(1, kPictureLimit);
            pipeline.step(-1, kPictureLimit);
        }
    }
    play(pipeline, *clock, 3);
    return 0;
}
