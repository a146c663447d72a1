#include "joystick_native.hpp"

#include <zandrel/joystick.hpp>

#include <algorithm>
#include <array>
#include <utility>

namespace zandrel {

namespace {

constexpr int CountedButtons = 16;
constexpr int MaxPorts = 256;

static_assert(PadButtons == native::GamepadButtons && PadAxes == native::GamepadAxes);

// One view of a controller (numbered or named): the last read and the press
// counts not yet taken.
template <int Buttons, int Axes> struct Controls {
    uint32_t buttons = 0;
    std::array<float, Axes> axes{};
    std::array<int, Buttons> hits{};

    // A controller that stops answering (unplugged, say) reads as released
    // and centred rather than frozen with a button held.
    Controls& Refresh(int port, bool (*read)(int port, uint32_t& buttons, float* axes)) {
        uint32_t previous = buttons;
        if (!read(port, buttons, axes.data())) {
            buttons = 0;
            axes.fill(0.0f);
            return *this;
        }
        uint32_t pressed = buttons & ~previous;
        for (int button = 0; button < Buttons; ++button)
            if (pressed & (1u << button)) ++hits[static_cast<size_t>(button)];
        return *this;
    }

    int TakeHits(int button) { return std::exchange(hits[static_cast<size_t>(button)], 0); }
};

struct PortState {
    int64_t controller = -1;
    Controls<CountedButtons, native::JoystickAxisSlots> joy;
    Controls<PadButtons, PadAxes> pad;
};

std::array<PortState, JoystickPorts> portStates;

bool ValidPort(int port) {
    return port >= 0 && port < JoystickPorts;
}

bool ValidButton(int button) {
    return button >= 0 && button < CountedButtons;
}

// Callers check the port first.
PortState& State(int port) {
    return portStates[static_cast<size_t>(port)];
}

auto& Poll(int port) {
    return State(port).joy.Refresh(port, native::ReadJoystick);
}

auto& PollPad(int port) {
    return State(port).pad.Refresh(port, native::ReadGamepad);
}

float Axis(int port, int slot) {
    return ValidPort(port) ? Poll(port).axes[static_cast<size_t>(slot)] : 0.0f;
}

int PadButtonIndex(PadButton button) {
    int index = static_cast<int>(button);
    return index >= 0 && index < PadButtons ? index : -1;
}

uint32_t LowBits(int count) {
    if (count <= 0) return 0;
    return count >= 32 ? ~0u : (1u << count) - 1;
}

} // namespace

// Nothing to register; the devices open at the first query, so that a
// program that reads none opens none.
void StartJoystickModule() {}

// A port that now has another controller starts afresh, so that nothing of
// the one before (a held button, an axis it had) shows through.
int CountJoysticks() {
    int count = native::ScanJoysticks(MaxPorts);
    for (int port = 0; port < JoystickPorts; ++port) {
        auto& state = State(port);
        int64_t controller = native::JoystickIdentity(port);
        if (state.controller == controller) continue;
        state = PortState{};
        state.controller = controller;
    }
    return count;
}

String JoystickName(int port) {
    return FromUtf8(native::JoystickProductName(port));
}

uint32_t JoystickButtonMask(int port) {
    return LowBits(std::min(native::JoystickButtonCount(port), native::MaxJoystickButtons));
}

uint32_t JoystickAxisMask(int port) {
    uint32_t mask = LowBits(std::min(native::JoystickAxisCount(port), native::MaxJoystickAxes));
    return native::JoystickHatCount(port) > 0 ? mask | JoystickHatBit : mask;
}

bool IsJoyButtonDown(int button, int port) {
    return ValidButton(button) && ValidPort(port) && (Poll(port).buttons & (1u << button)) != 0;
}

int TakeJoyButtonHits(int button, int port) {
    if (!ValidButton(button) || !ValidPort(port)) return 0;
    return Poll(port).TakeHits(button);
}

float JoyAxisX(int port) {
    return Axis(port, native::SlotX);
}
float JoyAxisY(int port) {
    return Axis(port, native::SlotY);
}
float JoyAxisZ(int port) {
    return Axis(port, native::SlotZ);
}
float JoyAxisR(int port) {
    return Axis(port, native::SlotR);
}
float JoyAxisU(int port) {
    return Axis(port, native::SlotU);
}
float JoyAxisV(int port) {
    return Axis(port, native::SlotV);
}
float JoyAxisYaw(int port) {
    return Axis(port, native::SlotYaw);
}
float JoyAxisPitch(int port) {
    return Axis(port, native::SlotPitch);
}
float JoyAxisRoll(int port) {
    return Axis(port, native::SlotRoll);
}
float JoyAxisHat(int port) {
    return Axis(port, native::SlotHat);
}
float JoyAxisWheel(int port) {
    return Axis(port, native::SlotWheel);
}

int JoyForceStart(int, float) {
    return 0;
}
int JoyForceStop(int) {
    return 0;
}
int JoyForceDirection(int, float) {
    return 0;
}
int JoyForceDuration(int, int) {
    return 0;
}
int JoyCalibrate(int) {
    return 0;
}
int JoyLight(int, int) {
    return 0;
}
int JoyPlayerIndex(int) {
    return 0;
}

bool IsGamepad(int port) {
    return ValidPort(port) && native::HasGamepadMapping(port);
}

String GamepadName(int port) {
    return ValidPort(port) ? FromUtf8(native::GamepadMappingName(port)) : String();
}

bool IsPadButtonDown(PadButton button, int port) {
    int index = PadButtonIndex(button);
    return index >= 0 && ValidPort(port) && (PollPad(port).buttons & (1u << index)) != 0;
}

int TakePadButtonHits(PadButton button, int port) {
    int index = PadButtonIndex(button);
    if (index < 0 || !ValidPort(port)) return 0;
    return PollPad(port).TakeHits(index);
}

float PadAxisValue(PadAxis axis, int port) {
    int index = static_cast<int>(axis);
    if (index < 0 || index >= PadAxes || !ValidPort(port)) return 0.0f;
    return PollPad(port).axes[static_cast<size_t>(index)];
}

} // namespace zandrel
