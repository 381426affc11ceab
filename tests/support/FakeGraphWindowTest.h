#pragma once

#include <memory>

#include "platform/graph/GraphFactory.h"
#include "support/FakeGraphFactory.h"
#include "support/MessageBoxRecorder.h"
#include "support/WindowTest.h"

namespace corvid::test {

// The window fixture on fake media graphs, over a real folder of empty recording files.
class FakeGraphWindowTest : public WindowTest {
protected:
    // The fake media the graphs find at the recording `name` of the folder.
    FakeMedia& media(const QString& name, double seconds);
    // The live graph playing `name`, or null.
    std::shared_ptr<FakeGraph> graphOf(const QString& name) const;

    std::shared_ptr<FakeGraphFactory> factory = std::make_shared<FakeGraphFactory>();
    GraphFactory::Scoped scope{factory};
    MessageBoxRecorder messages;
};

}  // namespace corvid::test
