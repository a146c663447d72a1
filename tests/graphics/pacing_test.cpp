#include <gtest/gtest.h>
#include <zandrel/graphics.hpp>

#include <vector>

using namespace zandrel;

namespace {

// Milliseconds each call of `flip` took.
template <class FlipOnce> std::vector<int> TimeFlips(int count, FlipOnce flip) {
    std::vector<int> intervals;
    int last = Millisecs();
    for (int i = 0; i < count; ++i) {
        flip();
        int now = Millisecs();
        intervals.push_back(now - last);
        last = now;
    }
    return intervals;
}

int Sum(const std::vector<int>& values) {
    int sum = 0;
    for (int value : values)
        sum += value;
    return sum;
}

} // namespace

class Pacing : public testing::Test {
protected:
    void TearDown() override { EndGraphics(); }
};

TEST_F(Pacing, WindowAtSixtyHertzTakesOneSecondPerSixtyFlips) {
    ASSERT_TRUE(GLGraphics(160, 120, 0, 60));
    Flip();
    auto intervals = TimeFlips(120, [] { Flip(); });
    EXPECT_NEAR(Sum(intervals), 2000, 30);
    // A sleep that wakes late on a busy machine shortens the next interval;
    // catching up would show as near-zero intervals.
    int shortest = 1000, belowFifteen = 0;
    for (int interval : intervals) {
        shortest = std::min(shortest, interval);
        belowFifteen += interval < 15;
    }
    EXPECT_GE(shortest, 5) << testing::PrintToString(intervals);
    EXPECT_LE(belowFifteen, 6) << testing::PrintToString(intervals);
}

TEST_F(Pacing, FrameSecondsIsTheTimeBetweenTheLatestFlips) {
    ASSERT_TRUE(GLGraphics(160, 120));
    Flip();
    EXPECT_EQ(FrameSeconds(), 0);
    DelayMillis(50); // ends on a millisecond tick: up to 1 ms short
    Flip();
    EXPECT_GE(FrameSeconds(), 0.049f);
    EXPECT_LT(FrameSeconds(), 0.5f);
    ASSERT_TRUE(GLGraphics(160, 120)); // a new context starts again
    EXPECT_EQ(FrameSeconds(), 0);
}

TEST_F(Pacing, ExplicitSyncGoesStraightToTheDriver) {
    ASSERT_TRUE(GLGraphics(160, 120, 0, 60));
    auto intervals = TimeFlips(20, [] { Flip(0); });
    EXPECT_LT(Sum(intervals), 150);
}

TEST_F(Pacing, NoRateMeansNoWaiting) {
    ASSERT_TRUE(GLGraphics(160, 120));
    auto intervals = TimeFlips(20, [] { Flip(); });
    EXPECT_LT(Sum(intervals), 150);
}

TEST_F(Pacing, LatenessIsNotMadeUp) {
    ASSERT_TRUE(GLGraphics(160, 120, 0, 50));
    Flip();
    Flip();
    DelayMillis(100); // five frames late
    auto intervals = TimeFlips(3, [] { Flip(); });
    EXPECT_LT(intervals[0], 8);  // the late frame goes at once
    EXPECT_GE(intervals[1], 19); // and the next ones keep the full period
    EXPECT_GE(intervals[2], 19);
}

// Under Xvfb nothing waits for a display refresh, so the measurement at
// opening finds no hardware pacing and keeps the software one.
TEST_F(Pacing, FullScreenWithoutHardwarePacingPacesInSoftware) {
    int start = Millisecs();
    ASSERT_TRUE(GLGraphics(1024, 768, 32, 50));
    EXPECT_GE(Millisecs() - start, 990); // the measurement ran for its second
    Flip();
    auto intervals = TimeFlips(10, [] { Flip(); });
    EXPECT_NEAR(Sum(intervals), 200, 15);
}
