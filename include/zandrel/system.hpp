// Application services: process values, the system driver and its message
// pump, hooks, events and their queue, polled input with named keys and mouse
// buttons, timers, the clock, random numbers and degree maths. Extension
// point: the system driver (TSystemDriver). StartSystemModule() starts the
// event queue and the driver (StartZandrel() calls it). Threads: main thread
// only; timers tick through the main thread's pump.
#pragma once

#include <zandrel/runtime.hpp>

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace zandrel {

// Starts the stream module, the event queue and the desktop system driver;
// later calls do nothing.
void StartSystemModule();

// ---------------------------------------------------------------------------
// Process values, recorded by RunProgram before any module code runs.

// The same value as InitialFolder; empty when RunProgram was not used.
const String& StartFolder();
// The same value as ExecutablePath.
const String& ApplicationPath();
// The same value as ExecutableFolder.
const String& ApplicationFolder();
// "Zandrel Application" unless the program changes it; the caption of
// framework windows and message boxes.
const String& ApplicationTitle();
// Sets the caption of framework windows and message boxes.
void SetApplicationTitle(const String& title);
// SetApplicationTitle with a UTF-8 title.
inline void SetApplicationTitle(std::string_view utf8) {
    SetApplicationTitle(FromUtf8(utf8));
}
// The same value as ProgramArguments: element 0 is the program's name.
const std::vector<String>& CommandArguments();

// A string as an object, for the places that take "any object" (an event's
// extra object, for one).
class TStringObject : public Object {
public:
    explicit TStringObject(String text) : value(std::move(text)) {} // holds `text`
    String ToString() const override { return value; }
    String value; // the string; ToString returns it
};

Ref<TStringObject> StringObject(String value); // a new TStringObject holding `value`

// The string an object holds when it is a TStringObject, else empty.
String ObjectText(const Ref<Object>& object);
// A small integer that stays the same for the same live object; 0 for none.
int ObjectHandle(const Ref<Object>& object);

// ---------------------------------------------------------------------------
// Hooks: numbered chains of callbacks that pass one object along.

// A hook: gets the chain's id, the data the previous hook returned and its own
// context; returns the data for the next hook.
using HookFunction = Ref<Object> (*)(int id, const Ref<Object>& data, const Ref<Object>& context);

constexpr int MaxHookIds = 256; // hook ids are 0 to MaxHookIds - 1

// Throws RuntimeError "Too many hook ids" past the last one.
int AllocHookId();
// Runs after every hook of the id whose priority is greater or equal.
void AddHook(int id, HookFunction function, Ref<Object> context = nullptr, int priority = 0);
// Every hook of the id in order; the data each returns goes to the next.
Ref<Object> RunHooks(int id, Ref<Object> data);
// Unlinks the first hook with that function and context. The hook calls
// throw RuntimeError for an id outside 0 to MaxHookIds - 1.
void RemoveHook(int id, HookFunction function, const Ref<Object>& context = nullptr);

// The chain every event is emitted through.
int EmitEventHook();

// ---------------------------------------------------------------------------
// Events

// Event ids; a program may emit ids of its own beside these.
enum class EventId : int {
    NoEvent = 0, // PollEvent with nothing pending
    AppSuspend = 0x101,
    AppResume = 0x102,
    AppTerminate = 0x103,
    AppOpenFile = 0x104,
    KeyDown = 0x201,
    KeyUp = 0x202,
    KeyChar = 0x203,
    KeyRepeat = 0x204,
    MouseDown = 0x401,
    MouseUp = 0x402,
    MouseMove = 0x403,
    MouseWheel = 0x404,
    MouseEnter = 0x405,
    MouseLeave = 0x406,
    TimerTick = 0x801,
    GadgetAction = 0x2001,
    GadgetPaint = 0x2002,
    GadgetSelect = 0x2003,
    GadgetMenu = 0x2004,
    GadgetOpen = 0x2005,
    GadgetClose = 0x2006,
    GadgetDone = 0x2007,
    WindowMove = 0x4001,
    WindowSize = 0x4002,
    WindowClose = 0x4003,
    WindowActivate = 0x4004,
    WindowAccept = 0x4005,
    MenuAction = 0x8001,
};

// Held modifier keys, a flag set.
enum class Modifier : int { NoModifier = 0, Shift = 1, Control = 2, Alt = 4, System = 8 };
ZANDREL_FLAG_SET(Modifier);

// Key codes as key events carry them and the key queries take them (the
// numbering of the Windows virtual keys, whatever the platform).
// clang-format off
enum class Key : int {
    NoKey = 0,
    Backspace = 8, Tab = 9, Return = 13 /* either Enter key */, Pause = 19, CapsLock = 20,
    Escape = 27, Space = 32, PageUp = 33, PageDown = 34, End = 35, Home = 36,
    Left = 37, Up = 38, Right = 39, Down = 40, PrintScreen = 44, Insert = 45, Delete = 46,
    Digit0 = 48, Digit1, Digit2, Digit3, Digit4, Digit5, Digit6, Digit7, Digit8, Digit9,
    A = 65, B, C, D, E, F, G, H, I, J, K, L, M, N, O, P, Q, R, S, T, U, V, W, X, Y, Z,
    LeftSystem = 91, RightSystem = 92, Menu = 93,
    Numpad0 = 96, Numpad1, Numpad2, Numpad3, Numpad4, Numpad5, Numpad6, Numpad7, Numpad8, Numpad9,
    NumpadMultiply = 106, NumpadAdd = 107, NumpadSubtract = 109, NumpadDecimal = 110,
    NumpadDivide = 111,
    F1 = 112, F2, F3, F4, F5, F6, F7, F8, F9, F10, F11, F12,
    F13, F14, F15, F16, F17, F18, F19, F20, F21, F22, F23, F24,
    NumLock = 144, ScrollLock = 145,
    LeftShift = 160, RightShift = 161, LeftControl = 162, RightControl = 163,
    LeftAlt = 164, RightAlt = 165,
    Semicolon = 186, Equals = 187, Comma = 188, Minus = 189, Period = 190, Slash = 191,
    Grave = 192, LeftBracket = 219, Backslash = 220, RightBracket = 221, Apostrophe = 222,
    NonUsBackslash = 226,
};
// clang-format on

// Mouse buttons as mouse events carry them and the button queries take them.
enum class MouseButton : int { NoButton = 0, Left = 1, Right = 2, Middle = 3 };

// One event: what happened (id), to what (source), and its values. Events
// reach the program through the emit-event hooks and the event queue.
class TEvent : public Object {
public:
    EventId id = EventId::NoEvent;        // what happened
    Ref<Object> source;                   // none for framework windows, the timer for its ticks
    // The key, button, character, wheel notches or ticks as the number events
    // store; read a key, button or character through AsKey, AsButton, AsChar.
    int data = 0;
    Modifier mods = Modifier::NoModifier; // modifier keys held when it happened
    // The pointer's x in the window's client area, for mouse events; 0 for the others.
    int x = 0;
    // The pointer's y in the client area, for mouse events; 0 for the others.
    int y = 0;
    Ref<Object> extra; // an object of the emitter's (a TStringObject ...); none from the framework

    // The key of a KeyDown, KeyUp or KeyRepeat; Key::NoKey for other events.
    Key AsKey() const;
    // The button of a MouseDown or MouseUp, the one held during a MouseMove;
    // MouseButton::NoButton for other events or when none is held.
    MouseButton AsButton() const;
    // The character of a KeyChar; 0 for other events.
    char16_t AsChar() const;

    // For example: KeyDown: data=65, mods=1, x=0, y=0, extra=""
    String ToString() const override;
    // Runs the emit-event hooks with this event.
    virtual void Emit();

    // A new event with these values; it is neither emitted nor queued.
    // `source` is the object it comes from, `data` the key, button, character, wheel notches or
    // ticks, `mods` the modifier keys held, `x`, `y` the pointer, `extra` an object it carries.
    static Ref<TEvent> CreateEvent(EventId id, Ref<Object> source = nullptr, int data = 0,
                                   Modifier mods = Modifier::NoModifier, int x = 0, int y = 0,
                                   Ref<Object> extra = nullptr);
};

// Makes an event with these values and emits it (TEvent::CreateEvent, Emit).
// The values are those of TEvent::CreateEvent.
void EmitNewEvent(EventId id, Ref<Object> source = nullptr, int data = 0,
                  Modifier mods = Modifier::NoModifier, int x = 0, int y = 0,
                  Ref<Object> extra = nullptr);

// The event queue: 256 pending events; TimerTick, GadgetAction, WindowMove and
// WindowSize of one source merge into the one already waiting.
constexpr int EventQueueSize = 256;
// Queues `event`; `merge` true lets it merge into a waiting one of its kind and source.
void PostEvent(const Ref<TEvent>& event, bool merge = false); // dropped when the queue is full
EventId PollEvent();     // EventId::NoEvent when nothing is pending, after one pump
EventId WaitEvent();     // waits until one is pending
Ref<TEvent> PeekEvent(); // the next pending event, left queued; no object when none
// The event PollEvent or WaitEvent took last (a blank NoEvent after an empty PollEvent); the
// functions below read its fields.
const Ref<TEvent>& CurrentEvent();
// The id of the current event.
EventId CurrentEventId();
// The current event's data: the key, button, character, wheel notches or ticks.
int CurrentEventData();
// The current event's AsKey: its key for a key event, else Key::NoKey.
Key CurrentEventKey();
// The current event's AsButton: its button for a mouse event, else MouseButton::NoButton.
MouseButton CurrentEventButton();
// The current event's AsChar: its character for a KeyChar, else 0.
char16_t CurrentEventChar();
// The modifier keys held when the current event happened.
Modifier CurrentEventMods();
// The pointer's x for a mouse event; 0 for the others.
int CurrentEventX();
// The pointer's y for a mouse event; 0 for the others.
int CurrentEventY();
// The current event's extra object.
Ref<Object> CurrentEventExtra();
// The current event's source.
Ref<Object> CurrentEventSource();
// ObjectText of the current event's extra object.
String CurrentEventText();
// ObjectHandle of the current event's source.
int CurrentEventSourceHandle();

// ---------------------------------------------------------------------------
// Polled input: key, mouse and application state kept from the events of
// one source (none: every source). Every query pumps first. The key and
// button queries throw RuntimeError for a code outside 0-255 or a button
// outside 0-3.

// Starts keeping the key and mouse state, from empty tables (no effect while it is kept); `source`,
// when given, limits it to events from that object (a window).
void EnablePolledInput(Ref<Object> source = nullptr);
// Stops keeping the key and mouse state and empties it.
void DisablePolledInput();
// True between an AppSuspend and the next AppResume; either empties the key
// and mouse tables.
bool IsAppSuspended();
bool TakeTerminateRequest(); // a framework window was closed; cleared once taken
int TakeKeyHits(Key key);    // presses since the last call
bool IsKeyDown(Key key);     // true while held
int TakeChar();              // 0 when none is waiting
// The pointer's x in the window's client area from the last MouseMove.
int MouseXPos();
// The pointer's y in the client area from the last MouseMove.
int MouseYPos();
// The wheel notches summed since enabling or ClearMouse.
int MouseWheelPos();
int TakeMouseHits(MouseButton button); // presses since the last call
bool IsMouseDown(MouseButton button);  // true while held
// Forgets the held keys, key presses and waiting characters.
void ClearKeys();
// Forgets the held buttons, button presses and wheel position.
void ClearMouse();
// Empties the keys, then waits for the next key press and returns it.
Key WaitForKey();
// Empties the keys, then waits for the next character and returns it.
int WaitForChar();
// Empties the mouse, then waits for the next button press and returns it.
MouseButton WaitForMouse();

// ---------------------------------------------------------------------------
// The system driver and the message pump

// The button AskYesNoCancel's box was closed with; the numbers are those a
// program that stored or compared the old 1/0/-1 answers expects.
enum class Answer : int { Cancel = -1, No = 0, Yes = 1 };

// The desktop behind the message pump, the pointer and the requesters. Every
// operation of the base class throws RuntimeError "Attempt to call abstract
// method"; the framework's own driver gives them all.
class TSystemDriver : public Object {
public:
    // Serves PollSystemEvents: dispatches pending window messages. Each operation below serves the
    // free function of the same name, SetMouseVisible ShowMouse and HideMouse.
    virtual void Poll();
    // Serves WaitSystemEvents: blocks until input arrives, then dispatches.
    virtual void Wait();
    // Serves MoveMouse: `x`, `y` in client coordinates of the active window.
    virtual void MoveMouse(int x, int y);
    // Serves ShowMouse (`visible` true) and HideMouse (false).
    virtual void SetMouseVisible(bool visible);
    // Serves ShowNotice; `serious` shows it as a warning.
    virtual void ShowNotice(const String& text, bool serious);
    // Serves AskOkCancel; true for OK.
    virtual bool AskOkCancel(const String& text, bool serious);
    // Serves AskYesNoCancel; Answer::Cancel also when no box could be shown.
    virtual Answer AskYesNoCancel(const String& text, bool serious);
    // Serves RequestFilePath; `save` asks for a file to write.
    virtual String RequestFilePath(const String& title, const String& filter, bool save,
                                   const String& initialPath);
    // Serves RequestFolderPath.
    virtual String RequestFolderPath(const String& title, const String& initialPath);
    // Serves OpenLocation.
    virtual void OpenLocation(const String& url);
};

// The driver StartSystemModule made; empty before it.
const Ref<TSystemDriver>& SystemDriver();

// Dispatch pending window messages; a call made while another runs returns at once.
void PollSystemEvents();
// Block until input arrives, then dispatch.
void WaitSystemEvents();

// Held modifier keys.
Modifier ModifierFlags();
void MoveMouse(int x, int y); // client coordinates of the active window
void ShowMouse();             // shows the pointer HideMouse hid
void HideMouse();             // hidden only while over a framework window
// A message box with the text and an OK button, as a warning when `serious`.
void ShowNotice(const String& text, bool serious = false);
// A message box with OK and Cancel, as a warning when `serious`.
bool AskOkCancel(const String& text, bool serious = false); // true for OK
// A message box with Yes, No and Cancel, as a warning when `serious`.
// Cancel also for Escape, a closed box or a failed requester.
Answer AskYesNoCancel(const String& text, bool serious = false);
// ShowNotice with UTF-8 text.
inline void ShowNotice(std::string_view utf8, bool serious = false) {
    ShowNotice(FromUtf8(utf8), serious);
}
// AskOkCancel with UTF-8 text; true for OK.
inline bool AskOkCancel(std::string_view utf8, bool serious = false) {
    return AskOkCancel(FromUtf8(utf8), serious);
}
// AskYesNoCancel with UTF-8 text.
inline Answer AskYesNoCancel(std::string_view utf8, bool serious = false) {
    return AskYesNoCancel(FromUtf8(utf8), serious);
}
// Filter "name:ext,ext;name:ext" or "ext,ext"; empty on cancel or without a requester.
String RequestFilePath(const String& title, const String& filter = String(), bool save = false,
                       const String& initialPath = String());
// A folder chosen by the user, starting at `initialPath`; empty on cancel or without a requester.
String RequestFolderPath(const String& title, const String& initialPath = String());
// A name that is neither "http:" nor "file:" becomes a file: URL when it names
// an existing path, else an http: URL.
void OpenLocation(const String& url);

// ---------------------------------------------------------------------------
// Clock, date, standard streams

int Millisecs(); // monotonic, wraps as a signed 32-bit count
// A clock giving milliseconds, as Millisecs counts them.
using MillisecsSource = int (*)();
// Replaces the clock that Millisecs reads, for tools that run a program on a clock of their own (a
// capture that advances it frame by frame); `source` null restores the system clock.
void SetMillisecsSource(MillisecsSource source);
void DelayMillis(int ms);        // negative: no delay
String CurrentDate();            // "%d %b %Y"
String CurrentTime();            // "%H:%M:%S"
[[noreturn]] void ExitProgram(); // exit(0): the exit handlers run
// Writes UTF-8 text to standard output.
void WriteStdout(const String& text);
// Writes UTF-8 text to standard error.
void WriteStderr(const String& text);
String ReadStdin(); // one line without its "\n", at most 1023 bytes
// The path of an executable of that name on PATH, or the empty string.
String FindProgramOnPath(const String& name);

// ---------------------------------------------------------------------------
// Timers: ticks counted on the main thread inside the pump.

// Ticks at a fixed rate while running, counting the ticks and emitting an
// event for each: the event given to CreateTimer, or TimerTick with the timer as
// source and the tick count as data. A running timer keeps itself alive.
class TTimer : public Object {
public:
    ~TTimer() override;
    virtual int Ticks(); // ticks since it was made
    // Stops the ticks for good and drops the timer's hold on itself; no effect when stopped.
    virtual void Stop();
    virtual void Fire(); // counts one tick and emits its event, as the pump does
    // Ticks since the previous Wait, waiting for one when there are none; 0 when
    // the timer is stopped and none are left.
    virtual int Wait();

    // Throws RuntimeError for a rate above 1000 Hz, 0 or negative.
    // `hertz` is the ticks a second; `event`, when given, is emitted at each tick instead of a
    // TimerTick event from the timer.
    static Ref<TTimer> CreateTimer(float hertz, Ref<TEvent> event = nullptr);

private:
    int ticks_ = 0;
    int ticksSeen_ = 0;
    Ref<TTimer> keepAlive_;
    Ref<TEvent> event_;
    int handle_ = 0;
};

// The timer's methods as free functions; the timer must not be empty.
// `hertz` ticks a second, above 0 and up to 1000; `event`, when given, is emitted at each tick
// instead of a TimerTick event. Throws RuntimeError for another rate.
Ref<TTimer> CreateTimer(float hertz, Ref<TEvent> event = nullptr);
// TTimer::Ticks: ticks since the timer was made.
int TimerTicks(const Ref<TTimer>& timer);
// TTimer::Wait: ticks since the previous Wait, waiting for one when there are none.
int WaitTimer(const Ref<TTimer>& timer);
// TTimer::Stop: stops the ticks for good.
void StopTimer(const Ref<TTimer>& timer);

// ---------------------------------------------------------------------------
// Random numbers: one global Park-Miller generator, starting from 0x1234 and
// never seeded by the framework, so an unseeded program draws the same
// sequence on every run. Not thread-safe.

float RndFloat();                       // [0, 1), one step
double RndDouble();                     // [0, 1), two steps
double RandomRange(double a, double b); // between the bounds in either order, upper excluded
int RandomInt(int a, int b);            // between the bounds in either order, both included
// Seeds with the low 31 bits (0 and 0x7FFFFFFF, which would stall the generator, give 0x1234).
void SeedRandom(int seed);
// The state the next draw starts from.
int RandomSeed();

// ---------------------------------------------------------------------------
// Maths in degrees, and the standard library's functions.

// Sine of an angle in degrees. The trigonometric functions below take degrees, the inverse ones
// return them; the rest are the standard library's, under these names.
double SinDeg(double degrees);
// Cosine of an angle in degrees.
double CosDeg(double degrees);
// Tangent of an angle in degrees.
double TanDeg(double degrees);
// Arcsine, in degrees.
double ASinDeg(double x);
// Arccosine, in degrees.
double ACosDeg(double x);
// Arctangent, in degrees.
double ATanDeg(double x);
// The angle of the point x, y from the x axis, in degrees.
double ATan2Deg(double y, double x);
// Square root.
double SquareRoot(double x);
// Hyperbolic sine.
double Sinh(double x);
// Hyperbolic cosine.
double Cosh(double x);
// Hyperbolic tangent.
double Tanh(double x);
// e to the power of x.
double Exp(double x);
// Natural logarithm.
double Log(double x);
// Base-10 logarithm.
double Log10(double x);
// The largest whole number not above x.
double Floor(double x);
// The smallest whole number not below x.
double Ceil(double x);
// True for not-a-number.
bool IsNan(double x);
// True for an infinity.
bool IsInf(double x);

} // namespace zandrel
