#include "joystick_native.hpp"

#include <zandrel/joystick.hpp>

#include <algorithm>
#include <array>

namespace zandrel {

namespace {

constexpr int CountedButtons = 16;
constexpr int MaxPorts = 256;

struct PortState {
    int64_t controller = -1;
    uint32_t buttons = 0;
    std::array<float, native::JoystickAxisSlots> axes{};
    std::array<int, CountedButtons> hits{};
};

std::array<PortState, JoystickPorts> portStates;

bool ValidPort(int port) {
    return port >= 0 && port < JoystickPorts;
}

bool ValidButton(int button) {
    return button >= 0 && button < CountedButtons;
}

// A controller that stops answering (unplugged, say) reads as released and
// centred rather than frozen with a button held.
const PortState& Poll(int port) {
    static const PortState noController;
    if (!ValidPort(port)) return noController;
    auto& state = portStates[static_cast<size_t>(port)];
    uint32_t previous = state.buttons;
    if (!native::ReadJoystick(port, state.buttons, state.axes.data())) {
        state.buttons = 0;
        state.axes.fill(0.0f);
        return state;
    }
    uint32_t pressed = state.buttons & ~previous;
    for (int button = 0; button < CountedButtons; ++button)
        if (pressed & (1u << button)) ++state.hits[static_cast<size_t>(button)];
    return state;
}

float Axis(int port, int slot) {
    return Poll(port).axes[static_cast<size_t>(slot)];
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
        auto& state = portStates[static_cast<size_t>(port)];
        int64_t controller = native::JoystickIdentity(port);
        if (state.controller != controller) state = PortState{controller};
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
    return ValidButton(button) && (Poll(port).buttons & (1u << button)) != 0;
}

int TakeJoyButtonHits(int button, int port) {
    if (!ValidButton(button) || !ValidPort(port)) return 0;
    Poll(port);
    int& hits = portStates[static_cast<size_t>(port)].hits[static_cast<size_t>(button)];
    int taken = hits;
    hits = 0;
    return taken;
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

} // namespace zandrel
