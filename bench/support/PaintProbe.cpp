#include "support/PaintProbe.h"

#include <QApplication>
#include <QEvent>
#include <QWidget>
#include <chrono>
#include <cmath>
#include <string>
#include <type_traits>

#include "platform/graph/FfmpegGraph.h"
#include "player_output/VideoWindowWidget.h"

namespace corvid::bench {

namespace {

// Paints kept per graph: enough for a drag of many seeks, bounded for long runs.
constexpr std::size_t kPaintsKept = 4096;

}  // namespace

namespace {

// Passes on the question whether a prepared file is open, so that a load waits on its opens
// as it does without the probe; commits from before loads waited on them have no such call.
template <typename Base, typename = void>
class Forwarding : public Base {
protected:
    explicit Forwarding(std::shared_ptr<Base> real) : real_(std::move(real)) {}
    virtual void onReady() {}
    std::shared_ptr<Base> real_;
};

template <typename Base>
class Forwarding<Base, std::void_t<decltype(&Base::FileReady)>> : public Base {
public:
    bool FileReady(const std::string& fileName,
                   std::chrono::steady_clock::time_point until) override {
        const bool ready = real_->FileReady(fileName, until);
        if (ready) onReady();
        return ready;
    }

protected:
    explicit Forwarding(std::shared_ptr<Base> real) : real_(std::move(real)) {}
    virtual void onReady() = 0;
    std::shared_ptr<Base> real_;
};

}  // namespace

class PaintProbe::Factory : public Forwarding<IGraphFactory> {
public:
    Factory(PaintProbe& probe, std::shared_ptr<IGraphFactory> real)
        : Forwarding(std::move(real)), probe_(probe) {}

    std::shared_ptr<FilgraphManager> CreateFilgraphManager() override {
        auto graph = real_->CreateFilgraphManager();
        if (auto ffmpeg = std::dynamic_pointer_cast<FfmpegGraph>(graph)) probe_.adopt(ffmpeg);
        note(Call::CreateGraph);
        return graph;
    }

// The same source measures commits from before the two cameras shared a clock.
#if __has_include("platform/graph/IPlaybackClock.h")
    std::shared_ptr<IPlaybackClock> CreatePlaybackClock() override {
        return real_->CreatePlaybackClock();
    }
    void PrepareFile(const std::string& fileName) override {
        real_->PrepareFile(fileName);
        note(Call::PrepareFile);
    }
#endif

protected:
    void onReady() override {
        note(Call::FileReady);
    }

private:
    void note(Call call) {
        if (probe_.calls_.size() >= kPaintsKept) probe_.calls_.erase(probe_.calls_.begin());
        probe_.calls_.push_back(FactoryCall{call, probe_.now()});
    }

    PaintProbe& probe_;
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

std::vector<PaintProbe::FactoryCall> PaintProbe::factoryCalls(qint64 sinceNs) const {
    std::vector<FactoryCall> since;
    for (const FactoryCall& call : calls_) {
        if (call.ns >= sinceNs) since.push_back(call);
    }
    return since;
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
        ++paints_;
        // A paint counts once it draws a picture made for the window: before the first
        // one is scaled, a new window paints black.
        if (!static_cast<VideoWindowWidget*>(watched)->pictureFitsView()) break;
        if (w.paints.size() >= kPaintsKept) w.paints.erase(w.paints.begin());
        w.paints.push_back(Paint{now(), graph->shownPictureTime()});
        break;
    }
    return false;
}

}  // namespace corvid::bench
