#include "graphics_parts.hpp"

namespace zandrel {

namespace {

struct FramePacing {
    bool software = false;
    int hertz = 0;
    int period = 0;
    int remainder = 0;
    int accumulator = 0;
    int nextFlip = 0;
};

FramePacing pacing;

// Clock differences wrap like the clock itself.
int Elapsed(int from, int to) {
    return static_cast<int>(static_cast<uint32_t>(to) - static_cast<uint32_t>(from));
}

int Advanced(int time, int ms) {
    return static_cast<int>(static_cast<uint32_t>(time) + static_cast<uint32_t>(ms));
}

// Three synchronised flips in a row within 1 ms of the nominal period.
bool HardwarePaces(TGraphicsDriver& driver, int hertz) {
    int deadline = Advanced(Millisecs(), 1000);
    int hits = 0;
    while (Elapsed(Millisecs(), deadline) > 0) {
        int start = Millisecs();
        driver.Flip(1);
        int error = Elapsed(start, Millisecs()) - 1000 / hertz;
        if (error < -1 || error > 1) {
            hits = 0;
        } else if (++hits == 3) {
            return true;
        }
    }
    return false;
}

} // namespace

// A negative rate asks for no particular rate, like 0.
void StartFramePacing(TGraphicsDriver& driver, int depth, int hertz) {
    if (hertz < 0) hertz = 0;
    pacing.software = hertz != 0 && !(depth != 0 && HardwarePaces(driver, hertz));
    pacing.hertz = hertz;
    pacing.period = hertz != 0 ? 1000 / hertz : 0;
    pacing.remainder = 1000 - pacing.period * hertz;
    pacing.accumulator = 0;
    pacing.nextFlip = Millisecs();
}

bool SoftwarePacing() {
    return pacing.software;
}

// The 1000 mod hertz milliseconds left over each second are spread one at a
// time, so that hertz frames take exactly one second.
void WaitForNextFrame() {
    pacing.nextFlip = Advanced(pacing.nextFlip, pacing.period);
    pacing.accumulator += pacing.remainder;
    if (pacing.accumulator >= pacing.hertz) {
        pacing.accumulator -= pacing.hertz;
        pacing.nextFlip = Advanced(pacing.nextFlip, 1);
    }
    int wait = Elapsed(Millisecs(), pacing.nextFlip);
    if (wait > 0)
        DelayMillis(wait);
    else
        pacing.nextFlip = Advanced(pacing.nextFlip, -wait);
}

} // namespace zandrel
