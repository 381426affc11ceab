#include "player/TempoFilter.h"

#include <cstring>
#include <string>

extern "C" {
#include <libavfilter/buffersink.h>
#include <libavfilter/buffersrc.h>
#include <libavutil/channel_layout.h>
#include <libavutil/opt.h>
}

#include "player/AvError.h"
#include "player/AvHandles.h"
#include "util/Failure.h"

namespace corvid {

namespace {

// What a failed FFmpeg call of this file stops.
constexpr const char* kSpeedFilter = "The sound speed filter cannot be set up";

// The slowest tempo one stage of the filter accepts.
constexpr double kSlowestStage = 0.5;

// The tempo of each stage of the chain for an overall tempo.
std::vector<double> stages(double tempo) {
    std::vector<double> result;
    while (tempo < kSlowestStage) {
        result.push_back(kSlowestStage);
        tempo /= kSlowestStage;
    }
    result.push_back(tempo);
    return result;
}

}  // namespace

TempoFilter::TempoFilter(int sampleRate, double tempo)
    : sampleRate_(sampleRate), tempo_(tempo), graph_(avfilter_graph_alloc()) {
    if (!graph_) throwOnAvError(AVERROR(ENOMEM), kSpeedFilter, "no memory");
    // One thread: the filter is cheap, and the sound thread must not start others.
    graph_->nb_threads = 1;

    const std::string sourceArgs = "sample_rate=" + std::to_string(sampleRate) +
                                   ":sample_fmt=flt:channel_layout=stereo:time_base=1/" +
                                   std::to_string(sampleRate);
    throwOnAvError(avfilter_graph_create_filter(&source_, avfilter_get_by_name("abuffer"), "in",
                                                sourceArgs.c_str(), nullptr, graph_.get()),
                   kSpeedFilter, "source");
    throwOnAvError(avfilter_graph_create_filter(&sink_, avfilter_get_by_name("abuffersink"), "out",
                                                nullptr, nullptr, graph_.get()),
                   kSpeedFilter, "sink");
    const AVSampleFormat formats[] = {AV_SAMPLE_FMT_FLT, AV_SAMPLE_FMT_NONE};
    throwOnAvError(av_opt_set_int_list(sink_, "sample_fmts", formats, AV_SAMPLE_FMT_NONE,
                                       AV_OPT_SEARCH_CHILDREN),
                   kSpeedFilter, "sink format");

    AVFilterContext* previous = source_;
    int index = 0;
    for (const double stage : stages(tempo)) {
        AVFilterContext* filter = nullptr;
        const std::string name = "tempo" + std::to_string(index++);
        const std::string args = "tempo=" + std::to_string(stage);
        throwOnAvError(
            avfilter_graph_create_filter(&filter, avfilter_get_by_name("atempo"), name.c_str(),
                                         args.c_str(), nullptr, graph_.get()),
            kSpeedFilter, "tempo stage");
        throwOnAvError(avfilter_link(previous, 0, filter, 0), kSpeedFilter, "link");
        previous = filter;
    }
    throwOnAvError(avfilter_link(previous, 0, sink_, 0), kSpeedFilter, "link");
    throwOnAvError(avfilter_graph_config(graph_.get(), nullptr), kSpeedFilter, "configuration");
}

bool TempoFilter::push(const float* samples, std::size_t frames) {
    if (frames == 0) return true;
    if (finished_) return false;
    FrameHandle frame = makeFrame();
    if (!frame) return false;
    frame->format = AV_SAMPLE_FMT_FLT;
    frame->sample_rate = sampleRate_;
    frame->nb_samples = static_cast<int>(frames);
    frame->pts = framesIn_;
    const AVChannelLayout stereo = AV_CHANNEL_LAYOUT_STEREO;
    if (av_channel_layout_copy(&frame->ch_layout, &stereo) < 0 ||
        av_frame_get_buffer(frame.get(), 0) < 0)
        return false;
    std::memcpy(frame->data[0], samples, frames * 2 * sizeof(float));
    if (av_buffersrc_add_frame(source_, frame.get()) < 0) return false;
    framesIn_ += static_cast<std::int64_t>(frames);
    return true;
}

void TempoFilter::finish() {
    if (finished_) return;
    finished_ = true;
    // Only a filter already broken refuses the end, and it gives out nothing more anyway.
    [[maybe_unused]] const int refused = av_buffersrc_add_frame(source_, nullptr);
}

void TempoFilter::pull(std::vector<float>& out) {
    FrameHandle frame = makeFrame();
    if (!frame) return;
    while (av_buffersink_get_frame(sink_, frame.get()) >= 0) {
        const auto* samples = reinterpret_cast<const float*>(frame->data[0]);
        out.insert(out.end(), samples, samples + static_cast<std::size_t>(frame->nb_samples) * 2);
        framesOut_ += frame->nb_samples;
        av_frame_unref(frame.get());
    }
}

double TempoFilter::heldSeconds() const {
    const double held = static_cast<double>(framesIn_) - static_cast<double>(framesOut_) * tempo_;
    return held > 0 ? held / sampleRate_ : 0.0;
}

}  // namespace corvid
