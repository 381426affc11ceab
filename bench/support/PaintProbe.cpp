#include "support/PaintProbe.h"

#include <QApplication>
#include <QEvent>
#include <QWidget>
#include <cmath>

#include "platform/graph/FfmpegGraph.h"

namespace corvid::bench {

namespace {

// Paints kept per graph: enough for a drag of many seeks, bounded for long runs.
constexpr std::size_t kPaintsKept = 4096;

}  // namespace

class PaintProbe::Factory : public IGraphFactory {
public:
    Factory(PaintProbe& probe, std::shared_ptr<IGraphFactory> real)
        : probe_(probe), real_(std::move(real)) {}

    std::shared_ptr<FilgraphManager> CreateFilgraphManager() override {
        auto graph = real_->CreateFilgraphManager();
        if (auto ffmpeg = std::dynamic_pointer_cast<FfmpegGraph>(graph)) probe_.adopt(ffmpeg);
        return graph;
    }

// The same source measures commits from before the two cameras shared a clock.
#if __has_include("platform/graph/IPlaybackClock.h")
    std::shared_ptr<IPlaybackClock> CreatePlaybackClock() override {
        return real_->CreatePlaybackClock();
    }
    void PrepareFile(const std::string& fileName) override {
        real_->PrepareFile(fileName);
    }
#endif

private:
    PaintProbe& probe_;
    std::shared_ptr<IGraphFactory> real_;
};

PaintProbe::PaintProbe() : factory_(std::make_shared<Factory>(*this, GraphFactory::current())) {
    clock_.start();
    scope_ = std::make_unique<GraphFactory::Scoped>(factory_);
    qApp->installEventFilter(this);
}

PaintProbe::~PaintProbe() {
    qApp->removeEventFilter(this);
}

void PaintProbe::adopt(const std::shared_ptr<FfmpegGraph>& graph) {
    std::erase_if(watched_, [](const Watched& w) { return w.graph.expired(); });
    watched_.push_back(Watched{graph, {}});
}

std::shared_ptr<FfmpegGraph> PaintProbe::graphIn(QWidget* container) const {
    for (const Watched& w : watched_) {
        auto graph = w.graph.lock();
        if (!graph) continue;
        QWidget* video = graph->videoWidget();
        if (video != nullptr && container->isAncestorOf(video)) return graph;
    }
    return nullptr;
}

std::optional<PaintProbe::Paint> PaintProbe::paintIn(QWidget* container, qint64 sinceNs,
                                                     double pictureTime, double tolerance) const {
    for (const Watched& w : watched_) {
        auto graph = w.graph.lock();
        if (!graph) continue;
        QWidget* video = graph->videoWidget();
        if (video == nullptr || !container->isAncestorOf(video)) continue;
        for (const Paint& paint : w.paints) {
            if (paint.ns < sinceNs) continue;
            if (pictureTime < 0 || std::abs(paint.pictureTime - pictureTime) <= tolerance)
                return paint;
        }
    }
    return std::nullopt;
}

bool PaintProbe::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::Paint) return false;
    for (Watched& w : watched_) {
        auto graph = w.graph.lock();
        if (!graph || graph->videoWidget() != watched) continue;
        if (w.paints.size() >= kPaintsKept) w.paints.erase(w.paints.begin());
        w.paints.push_back(Paint{now(), graph->shownPictureTime()});
        ++paints_;
        break;
    }
    return false;
}

}  // namespace corvid::bench
