#include <gtest/gtest.h>
#include <zandrel/system.hpp>

#include "system/system_parts.hpp"

#include <cmath>

using namespace zandrel;

TEST(Timer, TicksOnlyInsideThePump) {
    auto timer = CreateTimer(100);
    DelayMillis(120);
    EXPECT_EQ(timer->Ticks(), 0); // nothing pumped yet
    int first = timer->Wait();
    // Everything that waited in the queue is counted at once (a busy machine
    // may have let fewer than the twelve due ticks through).
    EXPECT_GE(first, 2);
    EXPECT_EQ(timer->Ticks(), first);
    EXPECT_GE(WaitTimer(timer), 1);
    timer->Stop();
}

TEST(Timer, TicksBecomeTimerTickEventsMergedInTheQueue) {
    auto timer = CreateTimer(200);
    // A busy machine may hold the timer thread back: wait for two ticks.
    int ticks = 0;
    for (int waited = 0; ticks < 2 && waited < 2000; waited += 20) {
        DelayMillis(20);
        timer->Wait();
        ticks = timer->Ticks();
    }
    ASSERT_GE(ticks, 2);
    EXPECT_EQ(PollEvent(), EventId::TimerTick);
    EXPECT_EQ(CurrentEventSource(), timer);
    EXPECT_EQ(CurrentEventData(), ticks); // one event, carrying the latest count
    EXPECT_EQ(CurrentEventMods(), Modifier::NoModifier);
    StopTimer(timer);
}

TEST(Timer, ConsecutiveWaitsAddUpToTheTicks) {
    auto timer = CreateTimer(100);
    int total = 0;
    for (int wait = 0; wait < 4; ++wait) {
        DelayMillis(25); // more than one tick waits for most of them
        total += timer->Wait();
    }
    EXPECT_EQ(total, timer->Ticks());
    timer->Stop();
}

TEST(Timer, EmitsItsOwnEventUnchanged) {
    auto event = TEvent::CreateEvent(EventId::KeyChar, nullptr, 'k');
    auto timer = CreateTimer(100, event);
    timer->Wait();
    ASSERT_EQ(PollEvent(), EventId::KeyChar);
    EXPECT_EQ(CurrentEvent(), event);
    EXPECT_EQ(CurrentEventData(), 'k');
    timer->Stop();
}

TEST(Timer, StopKeepsTheCountAndDropsLaterTicks) {
    std::weak_ptr<TTimer> watch;
    {
        auto timer = CreateTimer(500);
        watch = timer;
        timer->Wait();
        DelayMillis(20); // more ticks wait in the platform queue
        timer->Stop();
        int count = timer->Ticks();
        PollSystemEvents();
        EXPECT_EQ(timer->Ticks(), count);
        timer->Stop();
        EXPECT_EQ(timer->Wait(), 0); // stopped: no waiting forever
        while (PollEvent() != EventId::NoEvent) {
        } // queued ticks hold their timer
    }
    EXPECT_TRUE(watch.expired());
}

TEST(Timer, ARunningTimerKeepsItselfAlive) {
    std::weak_ptr<TTimer> watch = CreateTimer(50);
    EXPECT_FALSE(watch.expired());
    watch.lock()->Stop();
    EXPECT_TRUE(watch.expired());
}

TEST(Timer, RefusesRatesItCannotKeep) {
    EXPECT_THROW(CreateTimer(0), RuntimeError);
    EXPECT_THROW(CreateTimer(-5), RuntimeError);
    EXPECT_THROW(CreateTimer(1000.5f), RuntimeError);
    EXPECT_THROW(CreateTimer(std::nanf("")), RuntimeError);
    auto fastest = CreateTimer(1000);
    fastest->Stop();
}

// It runs alone (tests/CMakeLists.txt): 94 ms is then far more than a wait
// wakes late on an idle machine, and far less than a tick more.
TEST(Timer, RateIsTheTruncatedPeriod) {
    // 3 Hz waits 333 ms between ticks.
    auto timer = CreateTimer(3);
    int start = Millisecs();
    timer->Wait();
    timer->Wait();
    int elapsed = Millisecs() - start;
    timer->Stop();
    EXPECT_GE(elapsed, 650);
    EXPECT_LT(elapsed, 760);
}

TEST(Timer, PeriodIsTheThousandthsTruncated) {
    const std::pair<float, int> rates[] = {{1000, 1}, {999, 1},     {501, 1},      {500, 2},
                                           {60, 16},  {59, 16},     {7, 142},      {3, 333},
                                           {1, 1000}, {0.3f, 3333}, {0.125f, 8000}};
    for (auto [hertz, period] : rates)
        EXPECT_EQ(TimerPeriodMs(hertz), period) << hertz << " Hz";
    EXPECT_THROW(TimerPeriodMs(1e-9f), RuntimeError);
}
