#include <gtest/gtest.h>
#include <zandrel/graphics.hpp>

#include "graphics/gl_context.hpp"
#include "graphics/graphics_parts.hpp"

#include <algorithm>
#include <chrono>
#include <future>
#include <memory>
#include <thread>
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

int Shortest(const std::vector<int>& values) {
    return *std::min_element(values.begin(), values.end());
}

// A display whose swaps wait when asked to: each returns at the next tick of
// a 60 Hz clock. It notes how long each flip waited after its swap.
class WaitingDisplay {
public:
    WaitingDisplay(bool takesInterval, bool waits) {
        native::SetSwapStandIn(
            {[takesInterval](int) { return takesInterval; }, [this, waits] { Swap(waits); }});
    }
    ~WaitingDisplay() { native::SetSwapStandIn({}); }
    WaitingDisplay(const WaitingDisplay&) = delete;
    WaitingDisplay& operator=(const WaitingDisplay&) = delete;

    // Flip(FlipSync::VerticalBlank), noting the wait after the swap.
    void Flip() {
        zandrel::Flip(FlipSync::VerticalBlank);
        waits_.push_back(Millisecs() - swapped_);
    }
    const std::vector<int>& WaitsAfterSwap() const { return waits_; }

private:
    using Clock = std::chrono::steady_clock;
    void Swap(bool waits) {
        auto period = std::chrono::nanoseconds(1000000000 / 60);
        if (waits)
            std::this_thread::sleep_until(epoch_ + ((Clock::now() - epoch_) / period + 1) * period);
        swapped_ = Millisecs();
    }

    Clock::time_point epoch_ = Clock::now();
    int swapped_ = 0;
    std::vector<int> waits_;
};

} // namespace

// These run alone (RUN_SERIAL), each on its own X server: no other test
// loads the machine. Software pacing waits for deadlines a whole period
// apart, so a wait that wakes late shortens the next interval instead of
// adding up, and a sum over many flips is late by one wake at most.
class Pacing : public testing::Test {
protected:
    void TearDown() override { EndGraphics(); }
};

// Under Xvfb the swap interval cannot be set: synchronised flips wait for the
// display's period in software (60 Hz, as Xvfb reports no rate), and only they do.
TEST_F(Pacing, SynchronisedFlipsKeepTheDisplaysPace) {
    const struct {
        const char* name;
        int width, height, depth;
    } contexts[] = {{"window", 160, 120, 0}, {"full screen", 1024, 768, 32}};
    for (const auto& c : contexts) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(GLGraphics(c.width, c.height, c.depth));
        Flip(FlipSync::VerticalBlank);
        auto intervals = TimeFlips(120, [] { Flip(FlipSync::VerticalBlank); });
        EXPECT_NEAR(Sum(intervals), 2000, 60);
        EXPECT_GE(Shortest(intervals), 15) << testing::PrintToString(intervals);
        EXPECT_LT(Sum(TimeFlips(120, [] { Flip(FlipSync::Immediate); })), 500);
    }
}

// Where the platform takes the swap interval, a swap that is seen to wait is
// left alone; one that does not, or an interval refused, is paced here.
TEST_F(Pacing, SoftwareWaitOnlyWhereTheSwapDoesNotWait) {
    const struct {
        bool takesInterval, swapWaits, softwareWait;
    } cases[] = {{true, true, false}, {true, false, true}, {false, false, true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message()
                     << "interval taken " << c.takesInterval << ", swap waits " << c.swapWaits);
        WaitingDisplay display(c.takesInterval, c.swapWaits);
        auto g = GLGraphics(160, 120);
        ASSERT_TRUE(g);
        Flip(FlipSync::Immediate); // the interval is asked for again on this display
        display.Flip();
        EXPECT_EQ(PacedInSoftware(*As<TGLGraphics>(g)), c.softwareWait);
        auto intervals = TimeFlips(30, [&display] {
            DelayMillis(5); // drawing the frame
            display.Flip();
        });
        EXPECT_GE(Sum(intervals), 30 * 16 - 5);
        auto waits = display.WaitsAfterSwap();
        std::sort(waits.begin(), waits.end());
        int median = waits[waits.size() / 2];
        if (c.softwareWait)
            EXPECT_GE(median, 8) << testing::PrintToString(waits);
        else
            EXPECT_LE(median, 1) << testing::PrintToString(waits);
        EndGraphics();
    }
}

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

// "--frame-ms 20": only flips move the clock, 20 ms each, whatever the delays.
TEST(FrameClockDeathTest, OnlyFlipsMoveTheFrameClock) {
    char program[] = "program", option[] = "--frame-ms", value[] = "20";
    char* argv[] = {program, option, value, nullptr};
    auto body = [] {
        if (!GLGraphics(160, 120)) return 1;
        int start = Millisecs();
        for (int i = 0; i < 3; ++i) {
            DelayMillis(30);
            Flip();
        }
        return Millisecs() - start == 60 && FrameSeconds() == 0.02f ? 7 : 2;
    };
    EXPECT_EXIT(RunProgram(3, argv, body), testing::ExitedWithCode(7), "");
}

// Measuring the display's pace uses the system's clock: under a program's
// clock that stands still (a run's frame clock, a capture's) it still ends.
TEST(PacingClock, HardwarePacingEndsUnderAStillClock) {
    SetMillisecsSource([] { return 0; });
    auto paced = std::make_shared<std::promise<void>>();
    auto ended = paced->get_future();
    std::thread([paced] {
        HardwarePaces([] { std::this_thread::sleep_for(std::chrono::milliseconds(16)); }, 60);
        paced->set_value();
    }).detach();
    bool endedInTime = ended.wait_for(std::chrono::seconds(5)) == std::future_status::ready;
    SetMillisecsSource(nullptr);
    EXPECT_TRUE(endedInTime);
}

TEST_F(Pacing, ExplicitSyncGoesStraightToTheDriver) {
    ASSERT_TRUE(GLGraphics(160, 120, 0, 60));
    auto intervals = TimeFlips(20, [] { Flip(FlipSync::Immediate); });
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
    int start = Millisecs();
    Flip();
    EXPECT_LT(Millisecs() - start, 15); // the late frame goes at once
    // and the next ten keep the full period instead of catching up; counted
    // from before the late one, so that a slow swap of its own shortens none.
    TimeFlips(10, [] { Flip(); });
    EXPECT_GE(Millisecs() - start, 198);
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
