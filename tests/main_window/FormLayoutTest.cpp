#include "main_window/FormLayout.h"

#include <gtest/gtest.h>

namespace corvid {
namespace {

class FormLayoutTest : public ::testing::Test {
protected:
    static void expectMinimumLayout(const FormLayout& l) {
        EXPECT_EQ(l.Width, 10740.0f);
        EXPECT_EQ(l.Height, 10195.0f);
        EXPECT_EQ(l.QVRControl1Height, 5460.0f);
        EXPECT_EQ(l.QVRControl1Width, 5370.0f);
        EXPECT_EQ(l.QVRControl2Left, 5385.0f);
        EXPECT_EQ(l.QVRControl2Height, 5460.0f);
        EXPECT_EQ(l.QVRControl2Width, 5370.0f);
        EXPECT_EQ(l.fraPlayTop, 5510.0f);
        EXPECT_EQ(l.fraVolTop, 5510.0f);
        EXPECT_EQ(l.lsASFTop, 6175.0f);
        EXPECT_EQ(l.DrvListTop, 6175.0f);
        EXPECT_EQ(l.DirListTop, 6475.0f);
        EXPECT_EQ(l.lsASFWidth, 5340.0f);
        EXPECT_EQ(l.fraPlayWidth, 5965.0f);
        EXPECT_EQ(l.fraVolLeft, 6015.0f);
        EXPECT_EQ(l.P1Width, 5765.0f);
        EXPECT_EQ(l.L1Left, 2005.0f);
    }
};

TEST_F(FormLayoutTest, compute_matchesWorkedExample_atMinimumSize) {
    const FormLayout l = FormLayout::compute(10740, 10195);
    EXPECT_FALSE(l.widthEnforced);
    EXPECT_FALSE(l.heightEnforced);
    expectMinimumLayout(l);
}

TEST_F(FormLayoutTest, compute_snapsBackToMinimum_whenDraggedSmaller) {
    const FormLayout l = FormLayout::compute(8000, 7000);
    EXPECT_TRUE(l.widthEnforced);
    EXPECT_TRUE(l.heightEnforced);
    expectMinimumLayout(l);
}

TEST_F(FormLayoutTest, compute_enforcesEachSideOnItsOwn_withLessThanTest) {
    const FormLayout exact = FormLayout::compute(10740, 12000);
    EXPECT_FALSE(exact.widthEnforced);
    EXPECT_FALSE(exact.heightEnforced);
    EXPECT_EQ(exact.Height, 12000.0f);

    const FormLayout narrow = FormLayout::compute(10739, 12000);
    EXPECT_TRUE(narrow.widthEnforced);
    EXPECT_FALSE(narrow.heightEnforced);
    EXPECT_EQ(narrow.Width, 10740.0f);
    EXPECT_EQ(narrow.QVRControl1Height, 12000.0f - 3120 - 615 - 1000);

    const FormLayout low = FormLayout::compute(12000, 10194.5f);
    EXPECT_FALSE(low.widthEnforced);
    EXPECT_TRUE(low.heightEnforced);
    EXPECT_EQ(low.Height, 10195.0f);
}

TEST_F(FormLayoutTest, compute_matchesWorkedExample_atLargerSize) {
    const FormLayout l = FormLayout::compute(12000, 11000);
    EXPECT_EQ(l.QVRControl1Width, 6000.0f);
    EXPECT_EQ(l.QVRControl1Height, 6265.0f);
    EXPECT_EQ(l.QVRControl2Width, 6000.0f);
    EXPECT_EQ(l.QVRControl2Height, 6265.0f);
    EXPECT_EQ(l.QVRControl2Left, 6015.0f);
    EXPECT_EQ(l.fraPlayTop, 6315.0f);
    EXPECT_EQ(l.fraVolTop, 6315.0f);
    EXPECT_EQ(l.lsASFTop, 6980.0f);
    EXPECT_EQ(l.DrvListTop, 6980.0f);
    EXPECT_EQ(l.DirListTop, 7280.0f);
    EXPECT_EQ(l.lsASFWidth, 6600.0f);
    EXPECT_EQ(l.fraPlayWidth, 7225.0f);
    EXPECT_EQ(l.fraVolLeft, 7275.0f);
    EXPECT_EQ(l.P1Width, 7025.0f);
    EXPECT_EQ(l.L1Left, 2635.0f);
}

TEST_F(FormLayoutTest, compute_givesHalfTwipPanels_whenWidthIsOdd) {
    const FormLayout l = FormLayout::compute(10741, 10195);
    EXPECT_EQ(l.QVRControl1Width, 5370.5f);
    EXPECT_EQ(l.QVRControl2Width, 5370.5f);
    EXPECT_EQ(l.QVRControl2Left, 5385.5f);
    EXPECT_EQ(l.L1Left, 2005.5f);
}

TEST_F(FormLayoutTest, compute_readsDesignValues_ratherThanFixedNumbers) {
    FormLayout::Design design;
    design.lsASFHeight = 2000;
    design.DrvListHeight = 400;
    design.L1Width = 1000;
    const FormLayout l = FormLayout::compute(10740, 10195, design);
    EXPECT_EQ(l.QVRControl1Height, 10195.0f - 2000 - 615 - 1000);
    EXPECT_EQ(l.DirListTop, l.DrvListTop + 400);
    EXPECT_EQ(l.L1Left, 5765.0f / 2 - 500);
}

}  // namespace
}  // namespace corvid
