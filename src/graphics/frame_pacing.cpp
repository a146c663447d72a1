#include "graphics_parts.hpp"

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
}

// The 1000 mod hertz milliseconds left over each second are spread one at a
// time, so that hertz frames take exactly one second. A frame that goes late,
// because the caller was slow or the sleep woke late, moves the schedule: a
// later frame never comes sooner than a period to make up for it. The clock's
// own millisecond of jitter is not lateness.
void FrameSchedule::WaitForNextFrame() {
    nextFrame_ = Advanced(nextFrame_, period_);
    accumulator_ += remainder_;
    if (accumulator_ >= hertz_) {
        accumulator_ -= hertz_;
        nextFrame_ = Advanced(nextFrame_, 1);
    }
    int wait = Elapsed(Millisecs(), nextFrame_);
    if (wait > 0) {
        DelayMillis(wait);
        if (Elapsed(nextFrame_, Millisecs()) <= 1) return;
    }
    nextFrame_ = Millisecs();
}

// Three synchronised flips in a row within 1 ms of the nominal period.
bool HardwarePaces(const std::function<void()>& synchronisedFlip, int hertz) {
    int deadline = Advanced(Millisecs(), 1000);
    int hits = 0;
    while (Elapsed(Millisecs(), deadline) > 0) {
        int start = Millisecs();
        synchronisedFlip();
        int error = Elapsed(start, Millisecs()) - 1000 / hertz;
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
        hertz != 0 && !(depth != 0 && HardwarePaces([&driver] { driver.Flip(1); }, hertz));
    pacing.schedule.Start(hertz);
}

bool SoftwarePacing() {
    return pacing.software;
}

void WaitForNextFrame() {
    pacing.schedule.WaitForNextFrame();
}

} // namespace zandrel
