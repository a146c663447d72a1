// Polled game controllers: how many are attached, their names and what they
// have, button states and press counts, and axes normalised to -1..1. Every
// query reads the device afresh; nothing is queued. Ports 0 to 15 are
// controllers in the order CountJoysticks found them; other ports, and
// buttons above 15, answer 0. A controller that SDL's game-controller
// database knows (or one given a mapping through SDL_GAMECONTROLLERCONFIG)
// is also a gamepad, whose buttons and axes read by name: PadButton, PadAxis.
//
// A module of its own rather than part of the system module's polled input:
// the system module's event pump stays independent of devices, and child
// processes (on the same layer) stay free of SDL.
//
// Start-up: StartJoystickModule() (StartZandrel() calls it); the devices open
// at the first query, so a program that reads none opens none.
// Threading: main thread only.
#pragma once

#include <zandrel/runtime.hpp>

#include <cstdint>

namespace zandrel {

// Registers nothing: controllers open at the first query. For symmetry with
// the other modules.
void StartJoystickModule();

constexpr int JoystickPorts = 16; // ports 0 to 15; any other port has no controller
// JoystickAxisMask's bit for a point-of-view hat.
constexpr uint32_t JoystickHatBit = 0x200;

// Looks for controllers again and numbers them from port 0; the count. A
// controller attached since the last call is found.
int CountJoysticks();
// The product name; "" when the port has no controller.
String JoystickName(int port);
// One bit per button the controller has; 0 when the port has none.
uint32_t JoystickButtonMask(int port);
// One bit per axis (x, y, z, r, u, v), plus JoystickHatBit for a hat.
uint32_t JoystickAxisMask(int port);

// True while the button (0-15) is held; false for a button or port out of range.
bool IsJoyButtonDown(int button, int port = 0);
// Presses of the button since the last call for it.
int TakeJoyButtonHits(int button, int port = 0);

// First axis, in -1..1; `port` is the controller, from 0.
float JoyAxisX(int port = 0);
// Second axis, in -1..1.
float JoyAxisY(int port = 0);
// Third axis, in -1..1.
float JoyAxisZ(int port = 0);
// Fourth axis (rudder or right stick), in -1..1.
float JoyAxisR(int port = 0);
// Fifth axis, in -1..1.
float JoyAxisU(int port = 0);
// Sixth axis, in -1..1.
float JoyAxisV(int port = 0);
// Always 0: no controller reports these through this interface.
float JoyAxisYaw(int port = 0);
// Always 0.
float JoyAxisPitch(int port = 0);
// Always 0.
float JoyAxisRoll(int port = 0);
// Always 0.
float JoyAxisWheel(int port = 0);
// The first hat: 0 north, 0.25 east, 0.5 south, 0.75 west (diagonals between),
// -1 centred.
float JoyAxisHat(int port = 0);

// Force feedback and the like, for programs written against controllers that
// have it: accepted, and each does nothing and answers 0.
int JoyForceStart(int port, float strength);
// Does nothing; 0.
int JoyForceStop(int port);
// Does nothing; 0.
int JoyForceDirection(int port, float degrees);
// Does nothing; 0.
int JoyForceDuration(int port, int milliseconds);
// Does nothing; 0.
int JoyCalibrate(int port);
// Does nothing; 0.
int JoyLight(int port, int rgb);
// Does nothing; 0.
int JoyPlayerIndex(int port);

// Gamepad controls by name, laid out as on the common twin-stick pad whatever
// the controller numbers them. Back, Guide and Start are the small buttons at
// the centre (Select, Home, Menu and the like on some pads).
enum class PadButton {
    A,
    B,
    X,
    Y,
    Back,
    Guide,
    Start,
    LeftStick,  // pressing the left stick in
    RightStick, // pressing the right stick in
    LeftShoulder,
    RightShoulder,
    DPadUp,
    DPadDown,
    DPadLeft,
    DPadRight
};
constexpr int PadButtons = 15; // PadButton::A to PadButton::DPadRight
// Sticks read -1..1 like the numbered axes: x grows to the right, y grows
// downward (pushed up is -1). Triggers read 0 (released) to 1 (fully pulled).
// No dead zone is applied: a worn stick at rest may read a little off 0.
enum class PadAxis { LeftX, LeftY, RightX, RightY, LeftTrigger, RightTrigger };
constexpr int PadAxes = 6; // PadAxis::LeftX to PadAxis::RightTrigger

// Each gamepad call below answers false, "", 0 or 0.0 for a port whose
// controller has no gamepad mapping, for a port out of range, and for a name
// outside the enum; a mapping given after CountJoysticks counts from the next
// CountJoysticks. Main thread only, like the rest of the module.

// True when the port's controller has a gamepad mapping, so that the calls
// below read it by name.
bool IsGamepad(int port = 0);
// The name the gamepad mapping gives the controller (which may differ from
// JoystickName); "" when it has none.
String GamepadName(int port = 0);
// True while the named button is held.
bool IsPadButtonDown(PadButton button, int port = 0);
// Presses of the named button since the last call for it; a button held down
// across many calls counts once.
int TakePadButtonHits(PadButton button, int port = 0);
// The named stick axis in -1..1, or trigger in 0..1.
float PadAxisValue(PadAxis axis, int port = 0);

} // namespace zandrel
