#include "graphics_parts.hpp"

#include <chrono>

namespace zandrel {

namespace {

// Clock differences wrap like the clock itself.
int Elapsed(int from, int to) {
    return static_cast<int>(static_cast<uint32_t>(to) - static_cast<uint32_t>(from));
}

int Advanced(int time, int ms) {
    return static_cast<int>(static_cast<uint32_t>(time) + static_cast<uint32_t>(ms));
}

struct FlipPacing {
    bool software = false;
    FrameSchedule schedule;
};

FlipPacing pacing;

} // namespace

void FrameSchedule::Start(int hertz) {
    hertz_ = hertz;
    period_ = hertz != 0 ? 1000 / hertz : 0;
    remainder_ = 1000 - period_ * hertz;
    accumulator_ = 0;
    nextFrame_ = Millisecs();
    lastFrame_ = Advanced(nextFrame_, -period_);
}

// The 1000 mod hertz milliseconds left over each second are spread one at a
// time, so that hertz frames take exactly one second. A caller who comes late
// moves the schedule: that lateness is not made up. A sleep that woke late is
// made up, but gently: no frame goes sooner than a period, less the clock's
// own millisecond, after the one before it.
void FrameSchedule::WaitForNextFrame() {
    nextFrame_ = Advanced(nextFrame_, period_);
    accumulator_ += remainder_;
    if (accumulator_ >= hertz_) {
        accumulator_ -= hertz_;
        nextFrame_ = Advanced(nextFrame_, 1);
    }
    int now = Millisecs();
    if (Elapsed(now, nextFrame_) <= 0) nextFrame_ = now;
    int earliest = Advanced(lastFrame_, period_ - 1);
    int due = Elapsed(nextFrame_, earliest) > 0 ? earliest : nextFrame_;
    DelayMillis(Elapsed(now, due));
    lastFrame_ = Millisecs();
    // A clock that did not move while this slept is a program's own: the
    // schedule does not run ahead of it.
    if (Elapsed(lastFrame_, nextFrame_) > 1) nextFrame_ = lastFrame_;
}

// Three synchronised flips in a row within 1 ms of the nominal period, timed
// on the system's clock: Millisecs may be a run's frame clock, which these
// flips do not move.
bool HardwarePaces(const std::function<void()>& synchronisedFlip, int hertz) {
    using Clock = std::chrono::steady_clock;
    auto millisSince = [](Clock::time_point start) {
        return static_cast<int>(
            std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count());
    };
    auto begin = Clock::now();
    int hits = 0;
    while (millisSince(begin) < 1000) {
        auto start = Clock::now();
        synchronisedFlip();
        int error = millisSince(start) - 1000 / hertz;
        if (error < -1 || error > 1) {
            hits = 0;
        } else if (++hits == 3) {
            return true;
        }
    }
    return false;
}

// A negative rate asks for no particular rate, like 0.
void StartFramePacing(TGraphicsDriver& driver, int depth, int hertz) {
    if (hertz < 0) hertz = 0;
    pacing.software =
        hertz != 0 && !(depth != 0 && HardwarePaces([&driver] { driver.Flip(true); }, hertz));
    pacing.schedule.Start(hertz);
}

bool SoftwarePacing() {
    return pacing.software;
}

void WaitForNextFrame() {
    pacing.schedule.WaitForNextFrame();
}

} // namespace zandrel
