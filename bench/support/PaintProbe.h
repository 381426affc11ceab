#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <memory>
#include <optional>
#include <vector>

#include "platform/graph/GraphFactory.h"

class QWidget;

namespace corvid {

class FfmpegGraph;

namespace bench {

// Watches every media graph made while it lives: it stands in as the graph factory
// (passing each request on to the real one) and, as an application event filter, notes
// when each graph's video window paints and the media time of the picture it paints.
class PaintProbe : public QObject {
public:
    struct Paint {
        qint64 ns = 0;           // on the probe's clock (now())
        double pictureTime = 0;  // media time of the picture on show
    };

    PaintProbe();
    ~PaintProbe() override;

    qint64 now() const { return clock_.nsecsElapsed(); }

    // The graph whose video window lies inside `container` (a player panel), or null.
    std::shared_ptr<FfmpegGraph> graphIn(QWidget* container) const;
    // The first paint at or after `sinceNs` of the video window inside `container` that
    // showed a picture within `tolerance` of `pictureTime`; a negative time takes any.
    std::optional<Paint> paintIn(QWidget* container, qint64 sinceNs, double pictureTime = -1,
                                 double tolerance = 0) const;
    // How many paints the video windows got since the probe was made.
    long paints() const { return paints_; }

    // A call the window made on the graph factory, when it returned.
    enum class Call { PrepareFile, FileReady, CreateGraph };
    struct FactoryCall {
        Call call;
        qint64 ns = 0;  // on the probe's clock
    };
    // The factory's calls that returned at or after `sinceNs`; FileReady only when the
    // file was ready.
    std::vector<FactoryCall> factoryCalls(qint64 sinceNs) const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    class Factory;
    struct Watched {
        std::weak_ptr<FfmpegGraph> graph;
        std::vector<Paint> paints;
    };

    void adopt(const std::shared_ptr<FfmpegGraph>& graph);

    QElapsedTimer clock_;
    std::shared_ptr<Factory> factory_;
    std::unique_ptr<GraphFactory::Scoped> scope_;
    std::vector<Watched> watched_;
    long paints_ = 0;
    std::vector<FactoryCall> calls_;
};

}  // namespace bench
}  // namespace corvid
