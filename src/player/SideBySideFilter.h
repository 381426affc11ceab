#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "player/AvHandles.h"

namespace corvid {

// Puts the pictures of one or two cameras side by side in one picture, with libavfilter:
// each scaled to one height (the taller camera's) in its own proportions, black between
// them, each with its caption burned into its top-right corner, and out as yuv420p. A
// camera outside its recording is dimmed, with a notice at the foot of its half.
class SideBySideFilter {
public:
    // A camera's pictures as they come from its decoder.
    struct Input {
        int width = 0;
        int height = 0;
        AVPixelFormat format = AV_PIX_FMT_NONE;
        AVRational aspect{1, 1};  // of a pixel; 0/1 when unknown
    };

    // The notice over a camera with nothing recorded at the time shown.
    static constexpr const char* kNotice = "No recording";

    // Throws Failure when the graph cannot be set up (no font for the captions, a
    // picture size the filters refuse).
    SideBySideFilter(const std::vector<Input>& inputs, AVRational frameRate);
    SideBySideFilter(const SideBySideFilter&) = delete;
    SideBySideFilter& operator=(const SideBySideFilter&) = delete;

    // The graph between the inputs [in0], [in1] and the output [out], in libavfilter's
    // syntax, as built for `inputs`.
    static std::string description(const std::vector<Input>& inputs);

    int width() const { return width_; }
    int height() const { return height_; }

    // Gives camera `input` its picture for output picture `index` (its timestamp, in
    // pictures), with its caption; `outside` dims it. Pictures go in index order.
    void push(std::size_t input, const AVFrame& picture, std::int64_t index,
              const std::string& caption, bool outside);
    // No more pictures: what the graph holds comes out.
    void finish();
    // The next composed picture; null when none is ready.
    FrameHandle pull();

private:
    struct Layout {
        int height = 0;
        std::vector<int> widths;
        int gap = 0;
        int fontSize = 0;
    };
    static Layout layout(const std::vector<Input>& inputs);

    AVRational timeBase_;
    FilterGraphHandle graph_;
    std::vector<AVFilterContext*> sources_;  // owned by the graph
    AVFilterContext* sink_ = nullptr;        // owned by the graph
    std::vector<bool> dimmed_;
    int width_ = 0;
    int height_ = 0;
};

}  // namespace corvid
