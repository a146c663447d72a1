// What the main thread makes of termination requests (Ctrl+C, kill, a
// console's close), whichever way the platform delivers them: a first one
// becomes a terminate request at the pump, one that no pump takes in time or
// a second one ends the process through the exit handlers with exit code
// 128 + the signal's number. The platform's file records each arrival and
// wakes the pump; these are shared by the POSIX and the Win32 files.
#pragma once

namespace zandrel::native::termination {

// A program that reads events pumps at least this often.
constexpr int PumpGraceMs = 300;
// After this the main thread has passed no point since the request.
constexpr int LastResortMs = 900;

// Safe in a signal handler: no locks, no allocation.
void RecordArrival(int number);
// An arrival that the main thread has not acted on waits.
bool Unanswered();
int MillisSinceArrival();
int LastSignal();
// Every exit, ours or the program's, stops the points from ending it again.
void MarkEnding();

} // namespace zandrel::native::termination
