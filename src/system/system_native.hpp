// The platform side of the system module: SDL for windows, input and message
// boxes, POSIX for the clock, processes and the standard streams.
#pragma once

#include "window_messages.hpp"

#include <optional>
#include <string>
#include <vector>

namespace zandrel::native {

// Events and timers work without a display; the video part starts with the
// first window (see the graphics module).
bool StartEvents();
void StopEvents();
bool VideoStarted();

// One message taken from the platform queue.
struct PumpedMessage {
    enum Type { WindowMessage, TimerTick };
    Type type = WindowMessage;
    TWindowMessage window;
    int timer = 0;
};

// Takes the next message without waiting; false when none is pending.
bool NextMessage(PumpedMessage& message);
// Blocks until some message is pending.
void WaitForMessage();
// Ends a WaitForMessage that blocks; may be called from any thread.
void WakePump();
// WaitForMessage's wait, until SDL's queue holds an event: SDL's own where
// the thread may block; where it may not (a page), short sleeps, each a turn
// for the page and for the work that runs at turns.
void WaitForSdlEvent();

// Termination signals (Ctrl+C, kill), caught instead of ending the process
// at once, so that the exit handlers run on the main thread. Starting asks
// StartEvents' platform not to catch them itself.
void StartTerminationSignals();
void StopTerminationSignals();
// The pump's part: true once for a first signal, which becomes a terminate
// request; a second signal ends the process through the exit handlers with
// exit code 128 + the signal.
bool TakeTerminationSignal();
// A frame point's part (Flip, each slice of a delay): ends the process so
// when a signal waits that no pump has taken for a while, or a second came.
void EndOnIgnoredSignal();

// The key code of an SDL scan code; Key::NoKey for a key without one.
Key VirtualKeyOf(int scancode);
// Held modifiers.
Modifier ModifierState();
bool WindowClientSize(uint32_t window, int& width, int& height);
bool CursorInWindow(uint32_t window, int& x, int& y);
// The window with the keyboard focus, 0 for none.
uint32_t ActiveWindow();
// In window coordinates of `window`; screen coordinates for window 0.
void WarpMouseInWindow(uint32_t window, int x, int y);
void SetCursorShown(bool shown);
void CaptureMouse(bool capture);

enum class MessageBoxKind { Notice, OkCancel, YesNoCancel };
// The chosen button: 1 OK or Yes, 0 No, -1 Cancel or closed. Never fails
// silently: where SDL cannot show its box (no display, no X core fonts) the
// desktop's dialog tool asks, and without one the message goes to standard
// error and the answer is the default button's (OK, Yes).
int ShowMessageBox(MessageBoxKind kind, const std::string& title, const std::string& text,
                   bool serious);
// SDL's box alone: false when SDL cannot show it.
bool ShowSdlMessageBox(MessageBoxKind kind, const std::string& title, const std::string& text,
                       bool serious, int& chosen);
// The message on standard error, answered with the default button (1: OK,
// Yes), where no box or dialog tool can ask.
int TellTerminal(MessageBoxKind kind, const std::string& title, const std::string& text);
// For tests: off, SDL's box fails as it does on a desktop without X core fonts.
void EnableSdlMessageBoxes(bool enabled);

// Timer ticks come back through NextMessage with their handle.
bool StartTickSource(int handle, int delayMs);
void StopTickSource(int handle);

int MonotonicMillis();
void SleepMillis(int ms);
// Where the program shares its thread with a page (the browser), hands the
// thread to the page for one turn of its event loop: always for a frame,
// otherwise only when the page has waited long. A desktop has nothing to do.
void GiveTurnToPage(bool frame);
std::string FormatLocalTime(const char* format);

// A program found on PATH, or empty.
std::string FindProgram(const std::string& name);
// The desktop's dialog tool on PATH: zenity, else kdialog; no value without either.
struct DialogTool {
    enum Kind { Zenity, Kdialog };
    Kind kind;
    std::string path;
};
std::optional<DialogTool> FindDialogTool();
// Runs a program with arguments, collects its standard output and returns
// its exit code; -1 when it could not run or did not exit normally.
int RunTool(const std::vector<std::string>& command, std::string& output);
// Standard output of a program that ended with code 0, else empty.
std::string RunForOutput(const std::vector<std::string>& command);
// Starts a program and does not wait for it.
void Launch(const std::vector<std::string>& command);

} // namespace zandrel::native
