// The show on the real clock under Xvfb, whose swaps cannot wait for the
// display: its frames still come at the display's 60 a second.
#include "capture_support.hpp"
#include "test_support.hpp"

#include <gtest/gtest.h>

using namespace zandrel;

// The lead-in lasts until the clock has counted four whole seconds since the
// music started: 3 to 4 seconds, by the second's fraction at the start.
TEST(ShowPace, LeadInRunsAtSixtyFramesASecond) {
    test::TempFolder folder;
    test::CaptureRun run = test::RunCapture(folder / "pace", "--realtime --no-frames --until 4.2");
    ASSERT_EQ(run.exitCode, 0);
    const test::SceneRow& lead = run.scenes[0];
    const test::SceneRow& first = run.scenes[1];
    ASSERT_TRUE(first.started);
    long long millis = first.firstClock - lead.firstClock;
    EXPECT_GE(millis, 2900);
    EXPECT_LE(millis, 4100);
    double expected = static_cast<double>(millis) * 60 / 1000;
    EXPECT_NEAR(lead.frames, expected, expected * 0.05) << "in " << millis << " ms";
}
