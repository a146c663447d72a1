// What the files of the graphics module give each other.
#pragma once

#include <zandrel/graphics.hpp>

#include <functional>

namespace zandrel {

// The sequence number after `seq`: never 0.
uint32_t NextGraphicsSeq(uint32_t seq);

void StartGraphicsObjects();
void RegisterFontResources();

// Frames at `hertz` a second on the millisecond clock, for flips that must
// keep a pace the swap itself does not.
class FrameSchedule {
public:
    // The first frame is due one period from now.
    void Start(int hertz);
    // Sleeps until the next frame is due; a caller's lateness moves the
    // schedule instead of being made up later.
    void WaitForNextFrame();

private:
    int hertz_ = 0, period_ = 0, remainder_ = 0, accumulator_ = 0;
    int nextFrame_ = 0, lastFrame_ = 0;
};

// Whether `synchronisedFlip` already waits for a display at `hertz`: three
// flips in a row within 1 ms of the period, tried for up to a second.
bool HardwarePaces(const std::function<void()>& synchronisedFlip, int hertz);

// Software pacing of Flip(FlipSync::Auto) for the application context. Starting decides
// whether the hardware already paces a full-screen context at `hertz` by
// timing synchronised flips for up to a second.
void StartFramePacing(TGraphicsDriver& driver, int depth, int hertz);
bool SoftwarePacing();
// The application context's schedule, as FrameSchedule::WaitForNextFrame.
void WaitForNextFrame();

// A program run with --frames (UnattendedRunOptions): true at the Flip that
// ends it, after saving the frame it shows when a screenshot was asked for.
bool LastUnattendedFrame();
// Exit code 0, or 1 when the screenshot could not be saved.
[[noreturn]] void EndUnattendedRun();

} // namespace zandrel
