#pragma once

#include <memory>
#include <vector>

#include "platform/graph/IGraphFactory.h"
#include "support/FakeCallLog.h"
#include "support/FakeGraph.h"
#include "support/FakePlaybackClock.h"

namespace corvid {

// Makes FakeGraphs that share one call log and one media catalog. Keeps only weak
// references, so tests can see when the code under test let a graph go.
class FakeGraphFactory : public IGraphFactory {
public:
    FakeGraphFactory();

    // Records "CreateFilgraphManager()", which may be made to fail.
    std::shared_ptr<FilgraphManager> CreateFilgraphManager() override;
    // Record "CreatePlaybackClock()" and "PrepareFile(name)"; each may be made to fail.
    std::shared_ptr<IPlaybackClock> CreatePlaybackClock() override;
    void PrepareFile(const std::string& fileName) override;

    FakeCallLog& log() { return *log_; }
    FakeMediaCatalog& catalog() { return *catalog_; }

    // The graph made last, or null when none was made or it is gone.
    std::shared_ptr<FakeGraph> lastGraph() const;
    // The graph with this number (1 for the first), or null when it is gone.
    std::shared_ptr<FakeGraph> graph(int number) const;
    int created() const { return static_cast<int>(graphs_.size()); }
    int destroyed() const { return log_->count("Destroyed"); }
    int alive() const;
    // The clock made last, or null when none was made or it is gone.
    std::shared_ptr<FakePlaybackClock> lastClock() const { return lastClock_.lock(); }
    int clocksCreated() const { return clocksCreated_; }

private:
    std::shared_ptr<FakeCallLog> log_;
    std::shared_ptr<FakeMediaCatalog> catalog_;
    std::vector<std::weak_ptr<FakeGraph>> graphs_;
    std::weak_ptr<FakePlaybackClock> lastClock_;
    int clocksCreated_ = 0;
};

}  // namespace corvid
