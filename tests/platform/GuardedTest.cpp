#include "platform/widgets/Guarded.h"

#include <gtest/gtest.h>

#include <QWidget>
#include <stdexcept>
#include <vector>

#include "support/MessageBoxRecorder.h"
#include "support/QtPrinters.h"
#include "util/Failure.h"

namespace corvid {
namespace {

class GuardedTest : public ::testing::Test {
protected:
    QWidget window;
    std::vector<QWidget*> parents;
    test::MessageBoxRecorder messages;

    void SetUp() override {
        messages.onShow([this](QWidget* parent, const QString&) { parents.push_back(parent); });
    }
};

TEST_F(GuardedTest, guarded_runsHandlerAndShowsNothing_whenItCompletes) {
    int runs = 0;
    guarded(&window, [&] { ++runs; });
    EXPECT_EQ(runs, 1);
    EXPECT_EQ(messages.count(), 0);
}

// A failure of ours and any other exception a library throws are told alike, once each, over
// the window whose handler failed, and go no further.
TEST_F(GuardedTest, guarded_showsOneMessageOverParent_forFailureAndOtherExceptions) {
    EXPECT_NO_THROW(
        guarded(&window, [] { throw Failure(Failure::CannotOpen, "The file cannot be opened"); }));
    EXPECT_NO_THROW(guarded(nullptr, [] { throw std::length_error("vector too long"); }));

    ASSERT_EQ(messages.count(), 2);
    EXPECT_TRUE(messages.texts()[0].startsWith("Corvid could not complete this action."));
    EXPECT_TRUE(messages.texts()[0].endsWith("The file cannot be opened"));
    EXPECT_TRUE(messages.texts()[1].endsWith("vector too long"));
    EXPECT_EQ(parents, (std::vector<QWidget*>{&window, nullptr}));
}

}  // namespace
}  // namespace corvid
