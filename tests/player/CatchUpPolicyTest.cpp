#include "player/CatchUpPolicy.h"

#include <gtest/gtest.h>

namespace corvid {
namespace {

// Pictures late by `from` and then, decoded a little later, by `to`.
void observe(CatchUpPolicy& policy, double from, double to, double rate) {
    policy.observe(from, rate);
    policy.observe(to, rate);
}

TEST(CatchUpPolicyTest, observe_leavesOutMoreTheFurtherBehind_andOnlyKeyFramesAtHighSpeeds) {
    CatchUpPolicy atOne;
    observe(atOne, 0.1, 0.12, 1.0);
    EXPECT_EQ(atOne.discardFor(false), AVDISCARD_DEFAULT);
    observe(atOne, 0.2, 0.25, 1.0);
    EXPECT_EQ(atOne.discardFor(false), AVDISCARD_NONREF);
    atOne.observe(0.5, 1.0);
    EXPECT_EQ(atOne.discardFor(false), AVDISCARD_NONREF);  // never key frames only at 1x
    CatchUpPolicy atFour;
    observe(atFour, 0.2, 0.25, 4.0);
    atFour.observe(0.5, 4.0);
    EXPECT_EQ(atFour.discardFor(false), AVDISCARD_NONKEY);

    CatchUpPolicy atSixteen;
    observe(atSixteen, 0.2, 0.25, 16.0);
    EXPECT_EQ(atSixteen.discardFor(false), AVDISCARD_NONKEY);
}

TEST(CatchUpPolicyTest, observe_decodesEveryPicture_whileGainingOnTheClock) {
    // A clock that leapt ahead once, or a stall: the decoder catches up by itself.
    CatchUpPolicy policy;
    for (double late = 2.0; late > 0; late -= 0.1) policy.observe(late, 16.0);
    EXPECT_EQ(policy.discardFor(false), AVDISCARD_DEFAULT);
    policy.observe(0.3, 16.0);  // losing again, but from a new start
    EXPECT_EQ(policy.discardFor(false), AVDISCARD_DEFAULT);
}

TEST(CatchUpPolicyTest, observe_stepsBackOnlyOnceCaughtUp_andLeavesKeyFramesOnlyAtAKeyFrame) {
    CatchUpPolicy policy;
    observe(policy, 0.5, 1.0, 16.0);
    ASSERT_EQ(policy.discardFor(false), AVDISCARD_NONKEY);
    policy.observe(0.1, 16.0);  // less behind, not caught up: no back and forth
    EXPECT_EQ(policy.discardFor(false), AVDISCARD_NONKEY);
    policy.observe(-0.1, 16.0);
    // The pictures after a left-out one would miss their reference until the next key frame.
    EXPECT_EQ(policy.discardFor(false), AVDISCARD_NONKEY);
    EXPECT_EQ(policy.discardFor(true), AVDISCARD_NONREF);
    policy.observe(0.1, 1.0);
    EXPECT_EQ(policy.discardFor(false), AVDISCARD_NONREF);
    policy.observe(0.0, 1.0);
    EXPECT_EQ(policy.discardFor(false), AVDISCARD_DEFAULT);
    EXPECT_FALSE(policy.skipping());
}

TEST(CatchUpPolicyTest, decodeAllAndReset_bringBackEveryPicture_resetAtOnce) {
    CatchUpPolicy policy;
    observe(policy, 0.5, 1.0, 16.0);
    ASSERT_EQ(policy.discardFor(false), AVDISCARD_NONKEY);
    policy.decodeAll();
    EXPECT_EQ(policy.discardFor(false), AVDISCARD_NONKEY);
    EXPECT_EQ(policy.discardFor(true), AVDISCARD_DEFAULT);
    observe(policy, 0.5, 1.0, 16.0);
    ASSERT_EQ(policy.discardFor(false), AVDISCARD_NONKEY);
    policy.reset();  // after a flush no reference is missing
    EXPECT_EQ(policy.discardFor(false), AVDISCARD_DEFAULT);
}

}  // namespace
}  // namespace corvid
