#include "platform/widgets/ScrollBar.h"

#include <gtest/gtest.h>

#include <QSignalSpy>
#include <QStyle>
#include <QStyleOptionSlider>
#include <QTest>

#include "util/Failure.h"

namespace corvid {
namespace {

class ScrollBarTest : public ::testing::Test {
protected:
    void SetUp() override {
        bar.SetMin(0);
        bar.SetMax(100);
        bar.SetSmallChange(1);
        bar.SetLargeChange(10);
        bar.SetValue(50);
        bar.resize(300, 20);
        bar.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&bar));
    }

    QRect subControl(QStyle::SubControl control) const {
        QStyleOptionSlider option;
        option.initFrom(&bar);
        option.subControls = QStyle::SC_All;
        option.orientation = bar.orientation();
        option.minimum = bar.minimum();
        option.maximum = bar.maximum();
        option.sliderPosition = bar.sliderPosition();
        option.sliderValue = bar.value();
        option.singleStep = bar.singleStep();
        option.pageStep = bar.pageStep();
        option.upsideDown = bar.invertedAppearance();
        return bar.style()->subControlRect(QStyle::CC_ScrollBar, &option, control, &bar);
    }

    // Press the thumb, move it by the given offsets in turn, release at the last one.
    void dragThumb(const std::vector<int>& offsets) {
        const QPoint start = subControl(QStyle::SC_ScrollBarSlider).center();
        QTest::mousePress(&bar, Qt::LeftButton, Qt::NoModifier, start);
        QPoint at = start;
        for (int dx : offsets) {
            at = start + QPoint(dx, 0);
            QMouseEvent move(QEvent::MouseMove, at, bar.mapToGlobal(at), Qt::NoButton,
                             Qt::LeftButton, Qt::NoModifier);
            QApplication::sendEvent(&bar, &move);
        }
        QTest::mouseRelease(&bar, Qt::LeftButton, Qt::NoModifier, at);
    }

    ScrollBar bar;
    QSignalSpy scrolls{&bar, &ScrollBar::Scroll};
    QSignalSpy changes{&bar, &ScrollBar::Change};
};

TEST_F(ScrollBarTest, drag_scrollsOnEveryStepAndChangesOnceAtRelease_whenValueMoved) {
    changes.clear();
    dragThumb({10, 20, 30});

    EXPECT_EQ(scrolls.count(), 3);
    EXPECT_EQ(changes.count(), 1);
    EXPECT_GT(bar.Value(), 50);
}

TEST_F(ScrollBarTest, drag_raisesNoChange_whenThumbReturnsToItsStart) {
    changes.clear();
    dragThumb({20, 0});

    EXPECT_EQ(scrolls.count(), 2);
    EXPECT_EQ(changes.count(), 0);
    EXPECT_EQ(bar.Value(), 50);
}

TEST_F(ScrollBarTest, drag_reachesTheEnds_whenPulledPastThem) {
    dragThumb({-1000});
    EXPECT_EQ(bar.Value(), 0);
    dragThumb({1000});
    EXPECT_EQ(bar.Value(), 100);
}

TEST_F(ScrollBarTest, arrowsAndTrack_changeBySmallAndLargeStep_withoutScroll) {
    changes.clear();
    QTest::mouseClick(&bar, Qt::LeftButton, Qt::NoModifier,
                      subControl(QStyle::SC_ScrollBarAddLine).center());
    EXPECT_EQ(bar.Value(), 51);
    QTest::mouseClick(&bar, Qt::LeftButton, Qt::NoModifier,
                      subControl(QStyle::SC_ScrollBarSubLine).center());
    EXPECT_EQ(bar.Value(), 50);
    QTest::mouseClick(&bar, Qt::LeftButton, Qt::NoModifier,
                      subControl(QStyle::SC_ScrollBarAddPage).center());
    EXPECT_EQ(bar.Value(), 60);
    QTest::mouseClick(&bar, Qt::LeftButton, Qt::NoModifier,
                      subControl(QStyle::SC_ScrollBarSubPage).center());
    EXPECT_EQ(bar.Value(), 50);

    EXPECT_EQ(changes.count(), 4);
    EXPECT_EQ(scrolls.count(), 0);
}

TEST_F(ScrollBarTest, keyboard_stepsTowardTheKeysDirectionAndRaisesChange) {
    changes.clear();
    bar.setFocus();
    QTest::keyClick(&bar, Qt::Key_Right);
    EXPECT_EQ(bar.Value(), 51);
    QTest::keyClick(&bar, Qt::Key_Left);
    EXPECT_EQ(bar.Value(), 50);
    QTest::keyClick(&bar, Qt::Key_PageDown);
    EXPECT_EQ(bar.Value(), 60);
    QTest::keyClick(&bar, Qt::Key_Home);
    EXPECT_EQ(bar.Value(), 0);
    QTest::keyClick(&bar, Qt::Key_Up);
    EXPECT_EQ(bar.Value(), 0);
    EXPECT_EQ(changes.count(), 4);
    EXPECT_EQ(scrolls.count(), 0);
}

TEST_F(ScrollBarTest, programSet_raisesChangeOnlyForADifferentValue) {
    changes.clear();
    bar.SetValue(50);
    EXPECT_EQ(changes.count(), 0);
    bar.SetValue(0);
    EXPECT_EQ(changes.count(), 1);
    bar.setValue(0);
    EXPECT_EQ(changes.count(), 1);
    bar.setValue(7);
    EXPECT_EQ(changes.count(), 2);
    EXPECT_EQ(scrolls.count(), 0);
}

TEST_F(ScrollBarTest, programSetDuringDrag_isAChangeAndNotCountedAgainAtRelease) {
    const QPoint start = subControl(QStyle::SC_ScrollBarSlider).center();
    QTest::mousePress(&bar, Qt::LeftButton, Qt::NoModifier, start);
    changes.clear();
    bar.SetValue(80);
    EXPECT_EQ(changes.count(), 1);
    EXPECT_EQ(scrolls.count(), 0);
    QTest::mouseRelease(&bar, Qt::LeftButton, Qt::NoModifier, start);
    EXPECT_EQ(changes.count(), 1);
}

TEST_F(ScrollBarTest, handlersSeeTheNewValue) {
    std::vector<int> seen;
    QObject::connect(&bar, &ScrollBar::Change, [&] { seen.push_back(bar.Value()); });
    QObject::connect(&bar, &ScrollBar::Scroll, [&] { seen.push_back(-bar.Value()); });
    bar.SetValue(20);
    dragThumb({15});
    ASSERT_EQ(seen.size(), 3u);
    EXPECT_EQ(seen[0], 20);
    EXPECT_EQ(-seen[1], bar.Value());
    EXPECT_EQ(seen[2], bar.Value());
}

TEST_F(ScrollBarTest, setters_rejectValuesOutsideTheRangeAnd16Bits) {
    EXPECT_THROW(bar.SetValue(101), Failure);
    EXPECT_THROW(bar.SetValue(-1), Failure);
    EXPECT_EQ(bar.Value(), 50);
    EXPECT_THROW(bar.SetMax(32768), Failure);
    EXPECT_THROW(bar.SetMin(-32769), Failure);
    bar.SetMin(-5000);
    bar.SetMax(32767);
    EXPECT_EQ(bar.Min(), -5000);
    EXPECT_EQ(bar.Max(), 32767);
}

}  // namespace
}  // namespace corvid
