#pragma once

#include <memory>

#include "platform/graph/GraphFactory.h"
#include "support/ManualClockGraphFactory.h"
#include "support/MessageBoxRecorder.h"
#include "support/WindowTest.h"

namespace corvid::test {

// The window fixture on real media graphs whose time moves only when the test moves it.
class ManualClockWindowTest : public WindowTest {
protected:
    // Lets time pass in small steps until both panels run: a seek holds a panel's clock
    // until its first picture is ready.
    void untilBothRun();
    // Moves time on until both panels have left `seconds` behind.
    void playTo(double seconds);
    // Holds time still until each panel shows the picture due at its position: on a busy
    // machine the decoders may trail a clock the test moved faster than real time.
    void settle();

    std::shared_ptr<ManualClockGraphFactory> graphs = std::make_shared<ManualClockGraphFactory>();
    std::shared_ptr<ManualClock> time = graphs->clock;
    GraphFactory::Scoped installed{graphs};
    MessageBoxRecorder messages;
};

}  // namespace corvid::test
