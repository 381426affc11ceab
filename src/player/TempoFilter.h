#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "player/AvHandles.h"

namespace corvid {

// Plays sound faster or slower at its own pitch: FFmpeg's tempo filter over interleaved
// stereo float samples at one sample rate. One filter stage spans 1/2x to 100x, so slower
// tempos chain several stages. The filter holds back some sound to work on; finish() lets
// it out at the end.
class TempoFilter {
public:
    // Throws Failure when the filter cannot be set up.
    TempoFilter(int sampleRate, double tempo);
    TempoFilter(const TempoFilter&) = delete;
    TempoFilter& operator=(const TempoFilter&) = delete;

    double tempo() const { return tempo_; }

    // Takes `frames` stereo frames; false when the filter refuses them.
    bool push(const float* samples, std::size_t frames);
    // No more input: what the filter holds comes out on the next pull.
    void finish();
    // Appends every stereo frame the filter has ready to `out`.
    void pull(std::vector<float>& out);
    // The media time of the sound taken in but not yet given out.
    double heldSeconds() const;

private:
    const int sampleRate_;
    const double tempo_;
    FilterGraphHandle graph_;
    AVFilterContext* source_ = nullptr;  // owned by the graph
    AVFilterContext* sink_ = nullptr;    // owned by the graph
    std::int64_t framesIn_ = 0;
    std::int64_t framesOut_ = 0;
    bool finished_ = false;
};

}  // namespace corvid
