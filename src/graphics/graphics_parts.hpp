// What the files of the graphics module give each other.
#pragma once

#include <zandrel/graphics.hpp>

namespace zandrel {

// The sequence number after `seq`: never 0.
uint32_t NextGraphicsSeq(uint32_t seq);

void StartGraphicsObjects();
void RegisterFontResources();

// Software pacing of Flip(-1) for the application context. Starting decides
// whether the hardware already paces a full-screen context at `hertz` by
// timing synchronised flips for up to a second.
void StartFramePacing(TGraphicsDriver& driver, int depth, int hertz);
bool SoftwarePacing();
// Sleeps until the next frame is due; a late frame moves the schedule instead
// of being made up later.
void WaitForNextFrame();

// A program run with --frames (UnattendedRunOptions): true at the Flip that
// ends it, after saving the frame it shows when a screenshot was asked for.
bool LastUnattendedFrame();
// Exit code 0, or 1 when the screenshot could not be saved.
[[noreturn]] void EndUnattendedRun();

} // namespace zandrel
