// The show on the real clock under Xvfb, whose swaps cannot wait for the
// display: its frames still come at the display's 60 a second.
#include "capture_support.hpp"
#include "test_support.hpp"

#include <gtest/gtest.h>

#include <cmath>

using namespace zandrel;

namespace {

// The lead-in's frames against 60 a second over the time it lasted; empty
// when they keep that pace. Pacing never sends a frame early, so 5 % too many
// is a fault under any load; a frame a busy machine makes late is not made up,
// so too few fails only below three quarters, as a pace of every second
// display period would.
std::string LeadInPace(const std::string& out) {
    test::CaptureRun run = test::RunCapture(out, "--realtime --no-frames --until 4.2");
    if (run.exitCode != 0) return "the capture tool ended with " + std::to_string(run.exitCode);
    if (!run.scenes[1].started) return "scene 1 did not start";
    // The lead-in lasts until the clock has counted four whole seconds since
    // the music started: 3 to 4 seconds, by the second's fraction at the start.
    // Its own frames give its length: the first frame of scene 1, which loads
    // what the scene needs, is not the lead-in's.
    const test::SceneRow& lead = run.scenes[0];
    double millis = lead.frames * lead.meanMillis;
    double expected = millis * 60 / 1000;
    if (millis < 2900 || millis > 4100 || lead.frames > expected * 1.05 ||
        lead.frames < expected * 0.75)
        return std::to_string(lead.frames) + " frames in " + std::to_string(millis) + " ms";
    return "";
}

} // namespace

TEST(ShowPace, LeadInRunsAtSixtyFramesASecond) {
    test::TempFolder folder;
    EXPECT_EQ(LeadInPace(folder / "run"), "");
}
