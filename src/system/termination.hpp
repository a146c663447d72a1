// Termination signals (Ctrl+C, kill) as the main thread meets them, and the
// frame clock of an unattended run; shared with the graphics module, whose
// Flip every frame loop passes.
#pragma once

namespace zandrel {

// Ends the process through the exit handlers, with exit code 128 + the
// signal, when a termination signal waits that no pump has taken in time
// (the program does not read events), or when a second one has come.
void EndOnIgnoredTerminationSignal();

// Moves the clock of a run with "--frame-ms N" on by N; nothing otherwise.
void AdvanceFrameClock();

} // namespace zandrel
