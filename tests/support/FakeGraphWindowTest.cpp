#include "support/FakeGraphWindowTest.h"

namespace corvid::test {

FakeMedia& FakeGraphWindowTest::media(const QString& name, double seconds) {
    FakeMedia& file = factory->catalog().files[path(name)];
    file.duration = seconds;
    return file;
}

std::shared_ptr<FakeGraph> FakeGraphWindowTest::graphOf(const QString& name) const {
    for (int n = factory->created(); n >= 1; --n) {
        auto graph = factory->graph(n);
        if (graph && graph->renderedFile == path(name)) return graph;
    }
    return nullptr;
}

}  // namespace corvid::test
