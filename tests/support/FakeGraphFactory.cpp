#include "support/FakeGraphFactory.h"

namespace corvid {

FakeGraphFactory::FakeGraphFactory()
    : log_(std::make_shared<FakeCallLog>()), catalog_(std::make_shared<FakeMediaCatalog>()) {}

std::shared_ptr<FilgraphManager> FakeGraphFactory::CreateFilgraphManager() {
    log_->record(0, "CreateFilgraphManager");
    auto graph = std::make_shared<FakeGraph>(created() + 1, log_, catalog_);
    graphs_.push_back(graph);
    return graph;
}

std::shared_ptr<IPlaybackClock> FakeGraphFactory::CreatePlaybackClock() {
    log_->record(0, "CreatePlaybackClock");
    auto clock = std::make_shared<FakePlaybackClock>(++clocksCreated_);
    lastClock_ = clock;
    return clock;
}

void FakeGraphFactory::PrepareFile(const std::string& fileName) {
    log_->record(0, "PrepareFile", fileName);
}

std::shared_ptr<FakeGraph> FakeGraphFactory::lastGraph() const {
    return graphs_.empty() ? nullptr : graphs_.back().lock();
}

std::shared_ptr<FakeGraph> FakeGraphFactory::graph(int number) const {
    if (number < 1 || number > created()) return nullptr;
    return graphs_[number - 1].lock();
}

int FakeGraphFactory::alive() const {
    int result = 0;
    for (const auto& graph : graphs_) {
        if (!graph.expired()) ++result;
    }
    return result;
}

}  // namespace corvid
