#include "player/FrameQueue.h"

#include <gtest/gtest.h>

#include <atomic>

namespace corvid {
namespace {

VideoFrame frame(int generation, double time, bool end = false) {
    VideoFrame made;
    made.generation = generation;
    made.time = time;
    made.end = end;
    return made;
}

class FrameQueueTest : public ::testing::Test {
protected:
    FrameQueue queue{4};
    std::atomic<int> current{1};
};

// A reader that looked at the generation just before a seek still works in the old one;
// the new seek's first picture, already decoded, must wait for it rather than be dropped
// or taken as one of the old seek's pictures (the camera would stand still on the old one).
TEST_F(FrameQueueTest, readerOfAnOlderGeneration_neitherDropsNorTakes_theNewerPictures) {
    ASSERT_TRUE(queue.push(frame(1, 0.40), current));
    current = 2;
    ASSERT_TRUE(queue.push(frame(2, 5.80), current));
    ASSERT_TRUE(queue.push(frame(2, 6.00, true), current));

    queue.dropOlder(1);
    bool end = false;
    EXPECT_EQ(queue.frontTime(1, end), 0.40);
    EXPECT_EQ(queue.pop(1)->time, 0.40);
    EXPECT_FALSE(queue.frontTime(1, end));
    EXPECT_FALSE(queue.pop(1));

    queue.dropOlder(2);
    EXPECT_EQ(queue.frontTime(2, end), 5.80);
    EXPECT_FALSE(end);
    EXPECT_EQ(queue.pop(2)->time, 5.80);
    EXPECT_EQ(queue.frontTime(2, end), 6.00);
    EXPECT_TRUE(end);
}

TEST_F(FrameQueueTest, dropOlder_throwsAwayEarlierGenerations_andMakesRoom) {
    for (double t : {0.0, 0.04, 0.08, 0.12}) ASSERT_TRUE(queue.push(frame(1, t), current));
    current = 3;
    queue.dropOlder(3);
    for (double t : {2.0, 2.04, 2.08, 2.12}) ASSERT_TRUE(queue.push(frame(3, t), current));
    bool end = false;
    EXPECT_EQ(queue.frontTime(3, end), 2.0);
}

TEST_F(FrameQueueTest, push_isRefused_forAGenerationNoLongerCurrent) {
    current = 2;
    EXPECT_FALSE(queue.push(frame(1, 0.5), current));
    bool end = false;
    EXPECT_FALSE(queue.frontTime(1, end));
}

}  // namespace
}  // namespace corvid
