#include "player/SideBySideFilter.h"

#include <algorithm>
#include <cmath>

extern "C" {
#include <libavfilter/buffersink.h>
#include <libavfilter/buffersrc.h>
#include <libavutil/pixdesc.h>
}

#include "player/AvError.h"
#include "util/Failure.h"

namespace corvid {

namespace {

// What a failed FFmpeg call of this file stops.
constexpr const char* kVideoFilters = "The video filters cannot be set up";

// The picture's caption travels with it, as frame metadata that drawtext expands.
constexpr const char* kCaptionKey = "corvid.caption";
// A dimmed camera keeps half its brightness; the captions' box is the overlay's.
constexpr const char* kDim = "black@0.5";
constexpr const char* kBox = "black@0.55";
constexpr const char* kText = "0xEBEBEB";

int even(double value) {
    return std::max(2, 2 * static_cast<int>(std::lround(value / 2)));
}

std::string rational(AVRational value) {
    return std::to_string(value.num) + "/" + std::to_string(value.den);
}

std::string dimName(std::size_t input) {
    return "drawbox@dim" + std::to_string(input);
}

std::string noticeName(std::size_t input) {
    return "drawtext@notice" + std::to_string(input);
}

}  // namespace

SideBySideFilter::Layout SideBySideFilter::layout(const std::vector<Input>& inputs) {
    Layout result;
    int tallest = 0;
    for (const Input& input : inputs) tallest = std::max(tallest, input.height);
    result.height = std::max(2, tallest + tallest % 2);  // yuv420p needs even sizes
    for (const Input& input : inputs) {
        const double aspect =
            input.aspect.num > 0 && input.aspect.den > 0 ? av_q2d(input.aspect) : 1.0;
        result.widths.push_back(
            even(double(result.height) * input.width * aspect / std::max(1, input.height)));
    }
    result.gap = inputs.size() > 1 ? even(result.height / 72.0) : 0;
    result.fontSize = std::clamp(result.height / 22, 12, 48);
    return result;
}

std::string SideBySideFilter::description(const std::vector<Input>& inputs) {
    const Layout sizes = layout(inputs);
    const auto font = [](int size) {
        return "font=monospace:fontsize=" + std::to_string(size) + ":fontcolor=" + kText +
               ":box=1:boxcolor=" + kBox + ":boxborderw=" + std::to_string(size / 2);
    };
    const std::string margin = std::to_string(sizes.fontSize);
    std::string graph;
    std::string stacked;
    for (std::size_t i = 0; i < inputs.size(); ++i) {
        const std::string n = std::to_string(i);
        graph += "[in" + n + "]";
        graph += "scale=w=" + std::to_string(sizes.widths[i]) +
                 ":h=" + std::to_string(sizes.height) + ",setsar=1";
        graph += "," + dimName(i) + "=t=fill:c=" + kDim + ":enable=0";
        // Twice the caption's size, above the middle: recorders burn their own captions
        // along the top and the foot.
        graph += "," + noticeName(i) + "=" + font(2 * sizes.fontSize) + ":text='" + kNotice +
                 "':x=(w-tw)/2:y=h/4-th/2:enable=0";
        graph += ",drawtext@caption" + n + "=" + font(sizes.fontSize) +
                 ":text='%{metadata\\:" + kCaptionKey + "}':x=w-tw-" + margin + ":y=" + margin;
        // Black between the cameras: the first is widened to the right.
        if (i + 1 < inputs.size())
            graph += ",pad=w=iw+" + std::to_string(sizes.gap) + ":h=ih:x=0:y=0:color=black";
        graph += "[v" + n + "];";
        stacked += "[v" + n + "]";
    }
    if (inputs.size() > 1) stacked += "hstack=inputs=" + std::to_string(inputs.size()) + ",";
    return graph + stacked + "format=yuv420p[out]";
}

SideBySideFilter::SideBySideFilter(const std::vector<Input>& inputs, AVRational frameRate)
    : timeBase_(av_inv_q(frameRate)),
      graph_(avfilter_graph_alloc()),
      dimmed_(inputs.size(), false) {
    if (inputs.empty() || inputs.size() > 2)
        throw Failure(Failure::InvalidArgument, "One or two cameras are put side by side");
    if (!graph_) throwOnAvError(AVERROR(ENOMEM), kVideoFilters, "graph");

    AVFilterInOut* open = nullptr;  // the graph's open ends, in the description's terms
    AVFilterInOut* sinks = avfilter_inout_alloc();
    struct Ends {
        AVFilterInOut*& a;
        AVFilterInOut*& b;
        ~Ends() {
            avfilter_inout_free(&a);
            avfilter_inout_free(&b);
        }
    } ends{open, sinks};
    for (std::size_t i = 0; i < inputs.size(); ++i) {
        const Input& input = inputs[i];
        const char* format = av_get_pix_fmt_name(input.format);
        if (format == nullptr || input.width <= 0 || input.height <= 0)
            throw Failure(Failure::Unspecified, "A camera's pictures cannot be converted");
        const AVRational aspect =
            input.aspect.num > 0 && input.aspect.den > 0 ? input.aspect : AVRational{1, 1};
        const std::string args = "video_size=" + std::to_string(input.width) + "x" +
                                 std::to_string(input.height) + ":pix_fmt=" + format +
                                 ":time_base=" + rational(timeBase_) +
                                 ":pixel_aspect=" + rational(aspect);
        AVFilterContext* source = nullptr;
        const std::string name = "in" + std::to_string(i);
        throwOnAvError(
            avfilter_graph_create_filter(&source, avfilter_get_by_name("buffer"), name.c_str(),
                                         args.c_str(), nullptr, graph_.get()),
            kVideoFilters, "camera " + std::to_string(i + 1));
        sources_.push_back(source);
        AVFilterInOut* end = avfilter_inout_alloc();
        if (end == nullptr) throwOnAvError(AVERROR(ENOMEM), kVideoFilters, "graph");
        end->name = av_strdup(name.c_str());
        end->filter_ctx = source;
        end->pad_idx = 0;
        end->next = open;
        open = end;
    }
    throwOnAvError(avfilter_graph_create_filter(&sink_, avfilter_get_by_name("buffersink"), "out",
                                                nullptr, nullptr, graph_.get()),
                   kVideoFilters, "output");
    if (sinks == nullptr) throwOnAvError(AVERROR(ENOMEM), kVideoFilters, "graph");
    sinks->name = av_strdup("out");
    sinks->filter_ctx = sink_;
    sinks->pad_idx = 0;
    sinks->next = nullptr;
    throwOnAvError(
        avfilter_graph_parse_ptr(graph_.get(), description(inputs).c_str(), &sinks, &open, nullptr),
        kVideoFilters, "graph");
    throwOnAvError(avfilter_graph_config(graph_.get(), nullptr), kVideoFilters, "configuration");
    width_ = av_buffersink_get_w(sink_);
    height_ = av_buffersink_get_h(sink_);
}

void SideBySideFilter::push(std::size_t input, const AVFrame& picture, std::int64_t index,
                            const std::string& caption, bool outside) {
    FrameHandle copy(av_frame_clone(&picture));
    if (!copy) throwOnAvError(AVERROR(ENOMEM), kVideoFilters, "picture");
    copy->pts = index;
    // The source's key frames are no reason for the encoder to make its own there.
    copy->pict_type = AV_PICTURE_TYPE_NONE;
    copy->key_frame = 0;
    av_dict_set(&copy->metadata, kCaptionKey, caption.c_str(), 0);
    if (outside != dimmed_[input]) {
        dimmed_[input] = outside;
        // From this picture on: a command queued for a time runs on the first picture
        // at or after it.
        const double at = (static_cast<double>(index) - 0.5) * av_q2d(timeBase_);
        for (const std::string& filter : {dimName(input), noticeName(input)})
            throwOnAvError(avfilter_graph_queue_command(graph_.get(), filter.c_str(), "enable",
                                                        outside ? "1" : "0", 0, at),
                           kVideoFilters, "dimming");
    }
    throwOnAvError(av_buffersrc_add_frame(sources_[input], copy.get()), kVideoFilters, "picture");
}

void SideBySideFilter::finish() {
    for (AVFilterContext* source : sources_)
        throwOnAvError(av_buffersrc_add_frame(source, nullptr), kVideoFilters, "end");
}

FrameHandle SideBySideFilter::pull() {
    FrameHandle frame = makeFrame();
    if (!frame) throwOnAvError(AVERROR(ENOMEM), kVideoFilters, "picture");
    const int result = av_buffersink_get_frame(sink_, frame.get());
    if (result == AVERROR(EAGAIN) || result == AVERROR_EOF) return {};
    throwOnAvError(result, kVideoFilters, "picture");
    return frame;
}

}  // namespace corvid
