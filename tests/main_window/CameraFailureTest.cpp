#include <gtest/gtest.h>

#include <QTest>
#include <memory>
#include <string>

#include "main_window/Form1.h"
#include "media_engine/clsDShowControl.h"
#include "platform/graph/GraphFactory.h"
#include "player_control/QVRControl.h"
#include "support/Eventually.h"
#include "support/ManualClockGraphFactory.h"
#include "support/MessageBoxRecorder.h"
#include "support/PictureReader.h"
#include "support/TestMedia.h"
#include "support/WindowTest.h"

namespace corvid {
namespace {

using test::PictureReader;

// A camera whose player fails for good while a pair plays, on real graphs whose time moves
// only when the test moves it: the failure is named in that camera's panel, as a file
// that cannot be opened is, and the other camera plays on.
class CameraFailureTest : public test::WindowTest {
protected:
    void SetUp() override {
        for (const int number : {1, 2}) {
            test::MediaRecipe recipe;
            recipe.seconds = 20;
            recipe.colour = number == 1 ? 0xC03030 : 0x3050D0;
            copy(test::TestMedia::make(recipe), QStringLiteral("pair-%1.asf").arg(number));
        }
        showOnFolder(1);
    }

    int frame(QVRControl* panel) const { return PictureReader::frameShownIn(panel->PicVid); }

    // Moves time on, a picture at a time, until `done` holds.
    template <typename Done>
    bool playUntil(Done done) {
        return test::eventually(
            [&] {
                graphs->clock->advance(0.04);
                return done();
            },
            10000);
    }

    std::shared_ptr<ManualClockGraphFactory> graphs = std::make_shared<ManualClockGraphFactory>();
    GraphFactory::Scoped installed{graphs};
    test::MessageBoxRecorder messages;
};

TEST_F(CameraFailureTest, decoderThatFailsForGood_isNamedInItsPanel_andTheOtherCameraPlaysOn) {
    clickLine("AB\tpair");
    QVRControl* camera1 = form->QVRControl1;
    QVRControl* camera2 = form->QVRControl2;
    ASSERT_TRUE(playUntil([&] { return frame(camera1) > 5 && frame(camera2) > 5; }));

    graphs->faults->fail(InjectedFaults::Worker::VideoDecoder, "pair-2.asf");
    ASSERT_TRUE(playUntil([&] { return !camera2->notice().isEmpty(); }));
    EXPECT_TRUE(camera2->notice().startsWith("pair-2.asf\n")) << camera2->notice().toStdString();
    EXPECT_TRUE(camera2->notice().contains("can no longer be decoded"))
        << camera2->notice().toStdString();
    EXPECT_EQ(camera1->notice(), "");
    const int shown = frame(camera1);
    EXPECT_TRUE(playUntil([&] { return frame(camera1) > shown + 10; }));
    EXPECT_EQ(messages.count(), 0);
}

}  // namespace
}  // namespace corvid
