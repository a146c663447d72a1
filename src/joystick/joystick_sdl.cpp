#include "joystick_native.hpp"

#include <zandrel/runtime.hpp>

#include <SDL.h>

#include <algorithm>
#include <vector>

namespace zandrel::native {

namespace {

// A controller, and its gamepad view when it has a mapping (else null).
struct Port {
    SDL_Joystick* joystick = nullptr;
    SDL_GameController* pad = nullptr;
};

std::vector<Port> ports;

// SDL's named controls in the order of the named-control tables.
constexpr SDL_GameControllerButton padButtons[GamepadButtons] = {
    SDL_CONTROLLER_BUTTON_A,
    SDL_CONTROLLER_BUTTON_B,
    SDL_CONTROLLER_BUTTON_X,
    SDL_CONTROLLER_BUTTON_Y,
    SDL_CONTROLLER_BUTTON_BACK,
    SDL_CONTROLLER_BUTTON_GUIDE,
    SDL_CONTROLLER_BUTTON_START,
    SDL_CONTROLLER_BUTTON_LEFTSTICK,
    SDL_CONTROLLER_BUTTON_RIGHTSTICK,
    SDL_CONTROLLER_BUTTON_LEFTSHOULDER,
    SDL_CONTROLLER_BUTTON_RIGHTSHOULDER,
    SDL_CONTROLLER_BUTTON_DPAD_UP,
    SDL_CONTROLLER_BUTTON_DPAD_DOWN,
    SDL_CONTROLLER_BUTTON_DPAD_LEFT,
    SDL_CONTROLLER_BUTTON_DPAD_RIGHT};
constexpr SDL_GameControllerAxis padAxes[GamepadAxes] = {
    SDL_CONTROLLER_AXIS_LEFTX,  SDL_CONTROLLER_AXIS_LEFTY,       SDL_CONTROLLER_AXIS_RIGHTX,
    SDL_CONTROLLER_AXIS_RIGHTY, SDL_CONTROLLER_AXIS_TRIGGERLEFT, SDL_CONTROLLER_AXIS_TRIGGERRIGHT};

void ClosePorts(const std::vector<Port>& closing) {
    for (const auto& port : closing) {
        if (port.pad) SDL_GameControllerClose(port.pad);
        SDL_JoystickClose(port.joystick);
    }
}

void CloseJoysticks() {
    // After SDL_Quit (the system module's exit) the handles are gone already.
    if (SDL_WasInit(SDL_INIT_JOYSTICK)) {
        ClosePorts(ports);
        SDL_QuitSubSystem(SDL_INIT_GAMECONTROLLER);
    }
    ports.clear();
}

bool OpenService() {
    // Polled reads must not depend on which window has the focus, nor fill
    // the event queue that the system module pumps.
    SDL_SetHint(SDL_HINT_JOYSTICK_ALLOW_BACKGROUND_EVENTS, "1");
    // The game-controller subsystem brings the joystick one with it.
    if (SDL_InitSubSystem(SDL_INIT_GAMECONTROLLER) != 0) return false;
    SDL_JoystickEventState(SDL_IGNORE);
    SDL_GameControllerEventState(SDL_IGNORE);
    AddExitHandler(CloseJoysticks);
    return true;
}

bool ServiceReady() {
    static bool opened = OpenService();
    return opened && SDL_WasInit(SDL_INIT_JOYSTICK);
}

const Port* Slot(int port) {
    if (!ServiceReady() || port < 0 || port >= static_cast<int>(ports.size())) return nullptr;
    return &ports[static_cast<size_t>(port)];
}

SDL_Joystick* Device(int port) {
    const Port* slot = Slot(port);
    return slot ? slot->joystick : nullptr;
}

SDL_GameController* Gamepad(int port) {
    const Port* slot = Slot(port);
    return slot ? slot->pad : nullptr;
}

// Brings SDL's state of the controllers up to date; false when this one has
// gone (or the port has none).
bool Answers(SDL_Joystick* joystick) {
    if (!joystick) return false;
    SDL_JoystickUpdate();
    return SDL_JoystickGetAttached(joystick);
}

// SDL's -32768..32767 as 0..65535 over a maximum of 65535.
float Normalised(Sint16 position) {
    return static_cast<float>(position + 32768) * 2.0f / 65535.0f - 1.0f;
}

// Sticks as the numbered axes; SDL gives triggers as 0..32767.
float PadAxisValue(SDL_GameController* pad, SDL_GameControllerAxis axis) {
    Sint16 position = SDL_GameControllerGetAxis(pad, axis);
    if (axis == SDL_CONTROLLER_AXIS_TRIGGERLEFT || axis == SDL_CONTROLLER_AXIS_TRIGGERRIGHT)
        return static_cast<float>(std::max<int>(position, 0)) / 32767.0f;
    return Normalised(position);
}

float HatTurns(Uint8 hat) {
    switch (hat) {
    case SDL_HAT_UP:
        return 0.0f;
    case SDL_HAT_RIGHTUP:
        return 0.125f;
    case SDL_HAT_RIGHT:
        return 0.25f;
    case SDL_HAT_RIGHTDOWN:
        return 0.375f;
    case SDL_HAT_DOWN:
        return 0.5f;
    case SDL_HAT_LEFTDOWN:
        return 0.625f;
    case SDL_HAT_LEFT:
        return 0.75f;
    case SDL_HAT_LEFTUP:
        return 0.875f;
    default:
        return -1.0f;
    }
}

} // namespace

// Opening a controller that is open already only counts a reference, so
// opening the new table before closing the old keeps the survivors open.
int ScanJoysticks(int maxPorts) {
    if (!ServiceReady()) return 0;
    SDL_JoystickUpdate();
    std::vector<Port> found;
    int devices = SDL_NumJoysticks();
    for (int index = 0; index < devices && static_cast<int>(found.size()) < maxPorts; ++index)
        if (auto* joystick = SDL_JoystickOpen(index))
            found.push_back(
                {joystick, SDL_IsGameController(index) ? SDL_GameControllerOpen(index) : nullptr});
    ClosePorts(ports);
    ports = std::move(found);
    return static_cast<int>(ports.size());
}

int64_t JoystickIdentity(int port) {
    auto* joystick = Device(port);
    return joystick ? SDL_JoystickInstanceID(joystick) : -1;
}

std::string JoystickProductName(int port) {
    auto* joystick = Device(port);
    const char* name = joystick ? SDL_JoystickName(joystick) : nullptr;
    return name ? std::string(name) : std::string();
}

int JoystickButtonCount(int port) {
    auto* joystick = Device(port);
    return joystick ? std::max(SDL_JoystickNumButtons(joystick), 0) : 0;
}

int JoystickAxisCount(int port) {
    auto* joystick = Device(port);
    return joystick ? std::max(SDL_JoystickNumAxes(joystick), 0) : 0;
}

int JoystickHatCount(int port) {
    auto* joystick = Device(port);
    return joystick ? std::max(SDL_JoystickNumHats(joystick), 0) : 0;
}

bool ReadJoystick(int port, uint32_t& buttons, float* axes) {
    auto* joystick = Device(port);
    if (!Answers(joystick)) return false;
    buttons = 0;
    int buttonCount = std::min(JoystickButtonCount(port), MaxJoystickButtons);
    for (int button = 0; button < buttonCount; ++button)
        if (SDL_JoystickGetButton(joystick, button)) buttons |= 1u << button;
    int axisCount = std::min(JoystickAxisCount(port), MaxJoystickAxes);
    for (int axis = 0; axis < axisCount; ++axis)
        axes[SlotX + axis] = Normalised(SDL_JoystickGetAxis(joystick, axis));
    if (JoystickHatCount(port) > 0) axes[SlotHat] = HatTurns(SDL_JoystickGetHat(joystick, 0));
    return true;
}

bool HasGamepadMapping(int port) {
    return Gamepad(port) != nullptr;
}

std::string GamepadMappingName(int port) {
    auto* pad = Gamepad(port);
    const char* name = pad ? SDL_GameControllerName(pad) : nullptr;
    return name ? std::string(name) : std::string();
}

bool ReadGamepad(int port, uint32_t& buttons, float* axes) {
    auto* pad = Gamepad(port);
    if (!pad || !Answers(Device(port))) return false;
    buttons = 0;
    for (int button = 0; button < GamepadButtons; ++button)
        if (SDL_GameControllerGetButton(pad, padButtons[button])) buttons |= 1u << button;
    for (int axis = 0; axis < GamepadAxes; ++axis)
        axes[axis] = PadAxisValue(pad, padAxes[axis]);
    return true;
}

} // namespace zandrel::native
