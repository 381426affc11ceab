#include "support/ManualClockWindowTest.h"

namespace corvid::test {

void ManualClockWindowTest::untilBothRun() {
    ASSERT_TRUE(waitFor([&] {
        const double start1 = position(1);
        const double start2 = position(2);
        time->advance(0.01);
        return position(1) > start1 && position(2) > start2;
    }));
}

void ManualClockWindowTest::playTo(double seconds) {
    ASSERT_TRUE(waitFor([&] {
        time->advance(0.02);
        return position(1) >= seconds && position(2) >= seconds;
    }));
}

}  // namespace corvid::test
