// What a platform provides for controllers. A port is an index into the
// platform's table of controllers; a port outside it answers as for no
// controller. The platform opens its service at the first call.
#pragma once

#include <cstdint>
#include <string>

namespace zandrel::native {

// Slots of the axis table. ReadJoystick writes x to v and the hat; yaw,
// pitch, roll and wheel have no source and stay 0.
enum JoystickSlot {
    SlotX = 0,
    SlotY,
    SlotZ,
    SlotR,
    SlotU,
    SlotV,
    SlotYaw,
    SlotPitch,
    SlotRoll,
    SlotHat,
    SlotWheel
};
constexpr int JoystickAxisSlots = 16;
constexpr int MaxJoystickButtons = 32;
// Axes read into slots SlotX..SlotV.
constexpr int MaxJoystickAxes = 6;

// Looks for attached controllers again and makes the table of at most
// `maxPorts` of them; how many there are.
int ScanJoysticks(int maxPorts);
// Tells controllers apart across scans; -1 when the port has none.
int64_t JoystickIdentity(int port);
// The product name as UTF-8; empty when the port has no controller.
std::string JoystickProductName(int port);
// Buttons, axes and hats the controller has; 0 when the port has none.
int JoystickButtonCount(int port);
int JoystickAxisCount(int port);
int JoystickHatCount(int port);
// Reads the controller now: buttons 0-31 as bits; each axis it has into its
// slot, scaled so that its minimum reads -1 and its maximum +1; the first hat into
// SlotHat as turns clockwise from north (0..1), -1 centred. Slots it does not
// have are left alone. False, touching nothing, when the controller does not answer.
bool ReadJoystick(int port, uint32_t& buttons, float* axes);

// Gamepad controls by name, in the order of zandrel::PadButton and PadAxis.
constexpr int GamepadButtons = 15;
constexpr int GamepadAxes = 6;
// True when the controller has a gamepad mapping (known when it was scanned).
bool HasGamepadMapping(int port);
// The name its gamepad mapping gives it as UTF-8; empty when it has none.
std::string GamepadMappingName(int port);
// Reads the controller through its mapping: GamepadButtons buttons as bits,
// and GamepadAxes axes: sticks in -1..1 as ReadJoystick scales them,
// triggers in 0..1. False, touching nothing, when it has no mapping or does
// not answer.
bool ReadGamepad(int port, uint32_t& buttons, float* axes);

} // namespace zandrel::native
