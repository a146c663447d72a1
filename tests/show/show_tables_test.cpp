#include <gtest/gtest.h>
#include "show.hpp"
#include <zandrel/system.hpp>

#include <climits>

using namespace zandrel;
using namespace zandrel::show;

namespace {

ShowTables FreshTables() {
    SeedRandom(0x1234); // the state of a program that never seeds
    return BuildShowTables();
}

int clockNow = 0;
int FakeClock() {
    return clockNow;
}

} // namespace

TEST(ShowTables, SameOnEveryRunWithRadiiInRange) {
    ShowTables a = FreshTables(), b = FreshTables();
    EXPECT_EQ(a.driftX1, b.driftX1);
    EXPECT_EQ(a.driftY3, b.driftY3);
    EXPECT_EQ(a.swarmAngle, b.swarmAngle);
    EXPECT_EQ(a.swarmRadius, b.swarmRadius);
    EXPECT_EQ(a.swarmSpin, b.swarmSpin);
    for (int i = 0; i < 350; ++i) {
        EXPECT_GE(a.swarmRadius[i], 1);
        EXPECT_LE(a.swarmRadius[i], 533);
        EXPECT_GE(a.swarmAngle[i], 0);
        EXPECT_LE(a.swarmAngle[i], 358);
        EXPECT_GE(a.swarmSpin[i], 0);
        EXPECT_LE(a.swarmSpin[i], 358);
    }
    for (int i = 0; i < 20; ++i) {
        EXPECT_GE(a.driftX2[i], 0);
        EXPECT_LT(a.driftX2[i], 800);
        EXPECT_GE(a.driftY1[i], 0);
        EXPECT_LT(a.driftY1[i], 600);
    }
}

// The first draws of the generator, in the show's order; a change to the
// generator or to the order of the draws moves them.
TEST(ShowTables, FirstEntriesArePinned) {
    ShowTables t = FreshTables();
    SeedRandom(0x1234);
    double first = RandomRange(800, 0);
    EXPECT_EQ(t.driftX1[0], static_cast<float>(first));
    EXPECT_FLOAT_EQ(t.driftX1[0], 335.190979f);
    EXPECT_FLOAT_EQ(t.driftX2[0], 170.050491f);
    EXPECT_EQ(t.swarmAngle[0], 178);
    EXPECT_EQ(t.swarmRadius[0], 513);
    EXPECT_EQ(t.swarmSpin[0], 353);
}

TEST(ShowTables, RadiusRules) {
    EXPECT_EQ(GrowRadius(501), 2);
    EXPECT_EQ(GrowRadius(500), 534);
    EXPECT_EQ(GrowRadius(499), 533);
    EXPECT_EQ(WrapRadius(501), 1);
    EXPECT_EQ(WrapRadius(500), 500);
    // From 1 the radius first passes 500 after 62 frames, then starts again.
    int radius = 1, frames = 0;
    while (radius <= 500)
        radius = GrowRadius(radius), ++frames;
    EXPECT_EQ(frames, 62);
    EXPECT_EQ(radius, 505);
    EXPECT_EQ(GrowRadius(radius), 2);
}

TEST(ShowClock, CountsWholeSecondsOfTheClock) {
    SetMillisecsSource(FakeClock);
    ShowClock clock;
    clockNow = 12900;
    clock.Start();
    EXPECT_EQ(clock.Elapsed(), 0.0f);
    clockNow = 12999;
    EXPECT_EQ(clock.Elapsed(), 0.0f);
    clockNow = 13000;
    EXPECT_EQ(clock.Elapsed(), 1.0f);
    clockNow = 15999;
    EXPECT_EQ(clock.Elapsed(), 3.0f);
    clockNow = 16000;
    EXPECT_EQ(clock.Elapsed(), 4.0f);

    // Across the wrap of the signed count the seconds go on counting.
    clockNow = INT_MAX - 1499;
    clock.Start();
    clockNow = static_cast<int>(static_cast<unsigned>(INT_MAX) + 2000u);
    EXPECT_EQ(clock.Elapsed(), 3.0f);
    SetMillisecsSource(nullptr);
}
