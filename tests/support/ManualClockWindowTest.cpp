#include "support/ManualClockWindowTest.h"

#include "player_control/QVRControl.h"

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

void ManualClockWindowTest::settle() {
    ASSERT_TRUE(waitFor([&] {
        for (int number : {1, 2}) {
            double shown = 0;
            double interval = 0;
            if (!panel(number)->ShownPicture(shown, interval)) return false;
            if (position(number) - shown > interval + 1e-3) return false;
        }
        return true;
    }));
}

}  // namespace corvid::test
