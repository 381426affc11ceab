#include <gtest/gtest.h>

#include <QTest>
#include <memory>
#include <string>

#include "main_window/Form1.h"
#include "media_engine/clsDShowControl.h"
#include "player_control/QVRControl.h"
#include "support/Eventually.h"
#include "support/ManualClockWindowTest.h"
#include "support/TestMedia.h"

namespace corvid {
namespace {

// A camera whose player fails for good while a pair plays, on real graphs whose time moves
// only when the test moves it: the failure is named in that camera's panel, as a file
// that cannot be opened is, and the other camera plays on.
class CameraFailureTest : public test::ManualClockWindowTest {
protected:
    void SetUp() override {
        test::MediaRecipe recipe;
        recipe.seconds = 20;
        recipe.colour = 0xC03030;
        const std::string camera1 = test::TestMedia::make(recipe);
        recipe.colour = 0x3050D0;
        copyPair("pair", camera1, test::TestMedia::make(recipe));
        showOnFolder(1);
    }

    // Moves time on, a picture at a time, until `done` holds.
    template <typename Done>
    bool playUntil(Done done) {
        return test::eventually(
            [&] {
                time->advance(0.04);
                return done();
            },
            10000);
    }
};

TEST_F(CameraFailureTest, decoderThatFailsForGood_isNamedInItsPanel_andTheOtherCameraPlaysOn) {
    clickLine("AB\tpair");
    QVRControl* camera1 = form->QVRControl1;
    QVRControl* camera2 = form->QVRControl2;
    ASSERT_TRUE(playUntil([&] { return frame(1) > 5 && frame(2) > 5; }));

    graphs->faults->fail(InjectedFaults::Worker::VideoDecoder, "pair-2.asf");
    ASSERT_TRUE(playUntil([&] { return !camera2->notice().isEmpty(); }));
    EXPECT_TRUE(camera2->notice().startsWith("pair-2.asf\n")) << camera2->notice().toStdString();
    EXPECT_TRUE(camera2->notice().contains("can no longer be decoded"))
        << camera2->notice().toStdString();
    EXPECT_EQ(camera1->notice(), "");
    const int shown = frame(1);
    EXPECT_TRUE(playUntil([&] { return frame(1) > shown + 10; }));
    EXPECT_EQ(messages.count(), 0);
}

}  // namespace
}  // namespace corvid
