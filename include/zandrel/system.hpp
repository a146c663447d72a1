// Application services: process values, the system driver and its message
// pump, hooks, events, polled input, timers, the clock, random numbers and
// degree maths.
#pragma once

#include <zandrel/runtime.hpp>

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace zandrel {

void StartSystemModule();

// ---------------------------------------------------------------------------
// Process values, recorded by RunProgram before any module code runs.

const String& StartFolder();
const String& ApplicationPath();
const String& ApplicationFolder();
// "Zandrel Application" unless the program changes it; the caption of
// framework windows and message boxes.
const String& ApplicationTitle();
void SetApplicationTitle(const String& title);
const std::vector<String>& CommandArguments();

// A string as an object, for the places that take "any object" (an event's
// extra object, for one).
class TStringObject : public Object {
public:
    explicit TStringObject(String value) : value(std::move(value)) {}
    String ToString() const override { return value; }
    String value;
};

Ref<TStringObject> StringObject(String value);

// The string an object holds when it is a TStringObject, else empty.
String ObjectText(const Ref<Object>& object);
// A small integer that stays the same for the same live object; 0 for none.
int ObjectHandle(const Ref<Object>& object);

// ---------------------------------------------------------------------------
// Hooks: numbered chains of callbacks that pass one object along.

using HookFunction = Ref<Object> (*)(int id, const Ref<Object>& data, const Ref<Object>& context);

constexpr int MaxHookIds = 256;

int AllocHookId(); // "Too many hook ids" past the last one
// Runs after every hook of the id whose priority is greater or equal.
void AddHook(int id, HookFunction function, Ref<Object> context = nullptr, int priority = 0);
// Every hook of the id in order; the data each returns goes to the next.
Ref<Object> RunHooks(int id, Ref<Object> data);
// Unlinks the first hook with that function and context.
void RemoveHook(int id, HookFunction function, const Ref<Object>& context = nullptr);

// The chain every event is emitted through.
int EmitEventHook();

// ---------------------------------------------------------------------------
// Events

enum EventId : int {
    EventAppSuspend = 0x101,
    EventAppResume = 0x102,
    EventAppTerminate = 0x103,
    EventAppOpenFile = 0x104,
    EventKeyDown = 0x201,
    EventKeyUp = 0x202,
    EventKeyChar = 0x203,
    EventKeyRepeat = 0x204,
    EventMouseDown = 0x401,
    EventMouseUp = 0x402,
    EventMouseMove = 0x403,
    EventMouseWheel = 0x404,
    EventMouseEnter = 0x405,
    EventMouseLeave = 0x406,
    EventTimerTick = 0x801,
    EventGadgetAction = 0x2001,
    EventGadgetPaint = 0x2002,
    EventGadgetSelect = 0x2003,
    EventGadgetMenu = 0x2004,
    EventGadgetOpen = 0x2005,
    EventGadgetClose = 0x2006,
    EventGadgetDone = 0x2007,
    EventWindowMove = 0x4001,
    EventWindowSize = 0x4002,
    EventWindowClose = 0x4003,
    EventWindowActivate = 0x4004,
    EventWindowAccept = 0x4005,
    EventMenuAction = 0x8001,
};

class TEvent : public Object {
public:
    int id = 0;
    Ref<Object> source; // none for framework windows, the timer for its ticks
    int data = 0;
    int mods = 0;
    int x = 0;
    int y = 0;
    Ref<Object> extra;

    // For example: KeyDown: data=65, mods=1, x=0, y=0, extra=""
    String ToString() const override;
    // Runs the emit-event hooks with this event.
    virtual void Emit();

    static Ref<TEvent> CreateEvent(int id, Ref<Object> source = nullptr, int data = 0, int mods = 0,
                                   int x = 0, int y = 0, Ref<Object> extra = nullptr);
};

void EmitNewEvent(int id, Ref<Object> source = nullptr, int data = 0, int mods = 0, int x = 0,
                  int y = 0, Ref<Object> extra = nullptr);

// The event queue: 256 pending events; TimerTick, GadgetAction, WindowMove and
// WindowSize of one source merge into the one already waiting.
constexpr int EventQueueSize = 256;
void PostEvent(const Ref<TEvent>& event, bool merge = false);
int PollEvent(); // 0 when nothing is pending, after one pump
int WaitEvent();
Ref<TEvent> PeekEvent();
const Ref<TEvent>& CurrentEvent();
int CurrentEventId();
int CurrentEventData();
int CurrentEventMods();
int CurrentEventX();
int CurrentEventY();
Ref<Object> CurrentEventExtra();
Ref<Object> CurrentEventSource();
String CurrentEventText();
int CurrentEventSourceHandle();

// ---------------------------------------------------------------------------
// Polled input: key, mouse and application state kept from the events of
// one source (none: every source). Every query pumps first.

void EnablePolledInput(Ref<Object> source = nullptr);
void DisablePolledInput();
int IsAppSuspended();
int TakeTerminateRequest();
int TakeKeyHits(int key); // presses since the last call
int IsKeyDown(int key);
int TakeChar(); // 0 when none is waiting
int MouseXPos();
int MouseYPos();
int MouseWheelPos();
int TakeMouseHits(int button); // 1 left, 2 right, 3 middle
int IsMouseDown(int button);
void ClearKeys();
void ClearMouse();
int WaitForKey();
int WaitForChar();
int WaitForMouse();

// ---------------------------------------------------------------------------
// The system driver and the message pump

enum ModifierFlag : int { ModShift = 1, ModControl = 2, ModAlt = 4, ModSystem = 8 };

class TSystemDriver : public Object {
public:
    virtual void Poll();
    virtual void Wait();
    virtual void MoveMouse(int x, int y);
    virtual void SetMouseVisible(bool visible);
    virtual void ShowNotice(const String& text, bool serious);
    virtual int AskOkCancel(const String& text, bool serious);
    virtual int AskYesNoCancel(const String& text, bool serious);
    virtual String RequestFilePath(const String& title, const String& filter, bool save,
                                   const String& initialPath);
    virtual String RequestFolderPath(const String& title, const String& initialPath);
    virtual void OpenLocation(const String& url);
};

const Ref<TSystemDriver>& SystemDriver();

// Dispatch pending window messages; a call made while another runs returns at once.
void PollSystemEvents();
// Block until input arrives, then dispatch.
void WaitSystemEvents();

// Held modifier keys: ModShift | ModControl | ModAlt | ModSystem.
int ModifierFlags();
void MoveMouse(int x, int y); // client coordinates of the active window
void ShowMouse();
void HideMouse(); // hidden only while over a framework window
void ShowNotice(const String& text, bool serious = false);
int AskOkCancel(const String& text, bool serious = false);    // 1 OK, else 0
int AskYesNoCancel(const String& text, bool serious = false); // 1 yes, 0 no, -1 cancel
// Filter "name:ext,ext;name:ext" or "ext,ext"; empty on cancel or without a requester.
String RequestFilePath(const String& title, const String& filter = String(), bool save = false,
                       const String& initialPath = String());
String RequestFolderPath(const String& title, const String& initialPath = String());
// A name that is neither "http:" nor "file:" becomes a file: URL when it names
// an existing path, else an http: URL.
void OpenLocation(const String& url);

// A window message in the platform-neutral form the pump hands to a framework window.
struct TWindowMessage {
    enum Kind {
        Close,
        FocusGained,
        FocusLost,
        KeyDown,
        KeyUp,
        Char,
        MouseDown,
        MouseUp,
        MouseMove,
        MouseWheel,
        MouseLeave,
    };
    Kind kind = Close;
    uint32_t window = 0; // the native window id
    int key = 0;         // KeyDown/KeyUp: Win32 virtual-key code, 0 when the key has none
    bool repeat = false; // KeyDown: the key was already down
    int mods = 0;        // KeyDown/KeyUp: ModifierFlag bits held once this key is taken
    int character = 0;   // Char: a UTF-16 code unit
    int button = 0;      // MouseDown/MouseUp: 1 left, 2 right, 3 middle
    int buttons = 0;     // MouseMove: held buttons, bit 0 left, 1 right, 2 middle
    int x = 0, y = 0;    // mouse messages: client coordinates
    int wheel = 0;       // MouseWheel: notches, positive away from the user
};

// A framework window's message handler; the pump calls it for each message
// of that window.
using WindowProcedure = std::function<void(const TWindowMessage&)>;
void RegisterWindowProcedure(uint32_t window, WindowProcedure procedure);
void UnregisterWindowProcedure(uint32_t window);

// Turns a window message into at most one framework event and emits it.
void TranslateWindowMessage(const TWindowMessage& message, const Ref<Object>& source);

// ---------------------------------------------------------------------------
// Clock, date, standard streams

int Millisecs(); // monotonic, wraps as a signed 32-bit count
// Replaces the clock that Millisecs reads, for tools that run a program on a
// clock of their own (a capture that advances it frame by frame); null
// restores the system clock.
using MillisecsSource = int (*)();
void SetMillisecsSource(MillisecsSource source);
void DelayMillis(int ms); // negative: no delay
String CurrentDate();     // "%d %b %Y"
String CurrentTime();     // "%H:%M:%S"
[[noreturn]] void ExitProgram();
void WriteStdout(const String& text);
void WriteStderr(const String& text);
String ReadStdin(); // one line without its "\n", at most 1023 bytes
// The path of an executable of that name on PATH, or the empty string.
String FindProgramOnPath(const String& name);

// ---------------------------------------------------------------------------
// Timers: ticks counted on the main thread inside the pump.

class TTimer : public Object {
public:
    ~TTimer() override;
    virtual int Ticks();
    virtual void Stop();
    virtual void Fire();
    virtual int Wait(); // ticks since the previous Wait, at least 1

    // Rates above 1000 Hz, 0 or negative raise a RuntimeError.
    static Ref<TTimer> CreateTimer(float hertz, Ref<TEvent> event = nullptr);

private:
    int ticks_ = 0;
    int ticksSeen_ = 0;
    Ref<TTimer> keepAlive_;
    Ref<TEvent> event_;
    int handle_ = 0;
};

Ref<TTimer> CreateTimer(float hertz, Ref<TEvent> event = nullptr);
int TimerTicks(const Ref<TTimer>& timer);
int WaitTimer(const Ref<TTimer>& timer);
void StopTimer(const Ref<TTimer>& timer);

// ---------------------------------------------------------------------------
// Random numbers: one global Park-Miller generator, starting from 0x1234 and
// never seeded by the framework, so an unseeded program draws the same
// sequence on every run. Not thread-safe.

float RndFloat();                       // [0, 1), one step
double RndDouble();                     // [0, 1), two steps
double RandomRange(double a, double b); // between the bounds in either order, upper excluded
int RandomInt(int a, int b);            // between the bounds in either order, both included
void SeedRandom(int seed);
int RandomSeed();

// ---------------------------------------------------------------------------
// Maths in degrees, and the standard library's functions.

double SinDeg(double degrees);
double CosDeg(double degrees);
double TanDeg(double degrees);
double ASinDeg(double x);
double ACosDeg(double x);
double ATanDeg(double x);
double ATan2Deg(double y, double x);
double SquareRoot(double x);
double Sinh(double x);
double Cosh(double x);
double Tanh(double x);
double Exp(double x);
double Log(double x);
double Log10(double x);
double Floor(double x);
double Ceil(double x);
int IsNan(double x);
int IsInf(double x);

} // namespace zandrel
