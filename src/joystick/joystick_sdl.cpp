#include "joystick_native.hpp"

#include <zandrel/runtime.hpp>

#include <SDL.h>

#include <algorithm>
#include <vector>

namespace zandrel::native {

namespace {

std::vector<SDL_Joystick*> ports;

void CloseJoysticks() {
    // After SDL_Quit (the system module's exit) the handles are gone already.
    if (SDL_WasInit(SDL_INIT_JOYSTICK)) {
        for (auto* joystick : ports)
            SDL_JoystickClose(joystick);
        SDL_QuitSubSystem(SDL_INIT_JOYSTICK);
    }
    ports.clear();
}

bool OpenService() {
    // Polled reads must not depend on which window has the focus, nor fill
    // the event queue that the system module pumps.
    SDL_SetHint(SDL_HINT_JOYSTICK_ALLOW_BACKGROUND_EVENTS, "1");
    if (SDL_InitSubSystem(SDL_INIT_JOYSTICK) != 0) return false;
    SDL_JoystickEventState(SDL_IGNORE);
    AddExitHandler(CloseJoysticks);
    return true;
}

bool ServiceReady() {
    static bool opened = OpenService();
    return opened && SDL_WasInit(SDL_INIT_JOYSTICK);
}

SDL_Joystick* Device(int port) {
    if (!ServiceReady() || port < 0 || port >= static_cast<int>(ports.size())) return nullptr;
    return ports[static_cast<size_t>(port)];
}

// SDL's -32768..32767 as 0..65535 over a maximum of 65535.
float Normalised(Sint16 position) {
    return static_cast<float>(position + 32768) * 2.0f / 65535.0f - 1.0f;
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
    std::vector<SDL_Joystick*> found;
    int devices = SDL_NumJoysticks();
    for (int index = 0; index < devices && static_cast<int>(found.size()) < maxPorts; ++index)
        if (auto* joystick = SDL_JoystickOpen(index)) found.push_back(joystick);
    for (auto* joystick : ports)
        SDL_JoystickClose(joystick);
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
    if (!joystick) return false;
    SDL_JoystickUpdate();
    if (!SDL_JoystickGetAttached(joystick)) return false;
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

} // namespace zandrel::native
