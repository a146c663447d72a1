// Polled game controllers: how many are attached, their names and what they
// have, button states and press counts, and axes normalised to -1..1. Every
// query reads the device afresh; nothing is queued. Ports 0 to 15 are
// controllers in the order CountJoysticks found them; other ports, and
// buttons above 15, answer 0.
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

} // namespace zandrel
