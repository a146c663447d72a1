#include "system_native.hpp"
#include "system_parts.hpp"

#include <SDL.h>

#include <cstdio>
#include <deque>
#include <unordered_map>

namespace zandrel::native {

namespace {

Uint32 tickEventType = 0;
Uint32 wakeEventType = 0;
std::unordered_map<int, SDL_TimerID> tickSources;
// One SDL event can stand for several messages (text input, Enter).
std::deque<PumpedMessage> pending;
bool sdlMessageBoxes = true;

SDL_Window* WindowOf(uint32_t id) {
    return VideoStarted() ? SDL_GetWindowFromID(id) : nullptr;
}

Modifier ModifierFlagsOf(Uint16 mod) {
    Modifier flags = Modifier::NoModifier;
    if (mod & KMOD_SHIFT) flags |= Modifier::Shift;
    if (mod & KMOD_CTRL) flags |= Modifier::Control;
    if (mod & KMOD_ALT) flags |= Modifier::Alt;
    if (mod & KMOD_GUI) flags |= Modifier::System;
    return flags;
}

void Push(TWindowMessage message) {
    PumpedMessage pumped;
    pumped.window = message;
    pending.push_back(pumped);
}

TWindowMessage Message(TWindowMessage::Kind kind, uint32_t window) {
    TWindowMessage message;
    message.kind = kind;
    message.window = window;
    return message;
}

// The control characters that a desktop turns keys into besides text.
int ControlCharacterOf(Key key) {
    switch (key) {
    case Key::Backspace:
    case Key::Tab:
    case Key::Return:
    case Key::Escape:
        return ToNumber(key);
    default:
        return 0;
    }
}

void TranslateWindowEvent(const SDL_WindowEvent& event) {
    switch (event.event) {
    case SDL_WINDOWEVENT_CLOSE:
        Push(Message(TWindowMessage::Close, event.windowID));
        break;
    case SDL_WINDOWEVENT_FOCUS_GAINED:
        Push(Message(TWindowMessage::FocusGained, event.windowID));
        break;
    case SDL_WINDOWEVENT_FOCUS_LOST:
        Push(Message(TWindowMessage::FocusLost, event.windowID));
        break;
    case SDL_WINDOWEVENT_LEAVE:
        Push(Message(TWindowMessage::MouseLeave, event.windowID));
        break;
    default:
        break;
    }
}

void TranslateKey(const SDL_KeyboardEvent& event) {
    bool down = event.type == SDL_KEYDOWN;
    auto message = Message(down ? TWindowMessage::KeyDown : TWindowMessage::KeyUp, event.windowID);
    message.key = VirtualKeyOf(event.keysym.scancode);
    message.repeat = down && event.repeat != 0;
    message.mods = ModifierFlagsOf(event.keysym.mod);
    Push(message);
    if (down) {
        if (int c = ControlCharacterOf(message.key)) {
            auto character = Message(TWindowMessage::Char, event.windowID);
            character.character = c;
            Push(character);
        }
    }
}

void TranslateText(const SDL_TextInputEvent& event) {
    for (char16_t c : FromUtf8(event.text)) {
        auto message = Message(TWindowMessage::Char, event.windowID);
        message.character = c;
        Push(message);
    }
}

MouseButton ButtonOf(Uint8 sdlButton) {
    switch (sdlButton) {
    case SDL_BUTTON_LEFT:
        return MouseButton::Left;
    case SDL_BUTTON_RIGHT:
        return MouseButton::Right;
    case SDL_BUTTON_MIDDLE:
        return MouseButton::Middle;
    default:
        return MouseButton::NoButton;
    }
}

void TranslateButton(const SDL_MouseButtonEvent& event) {
    MouseButton button = ButtonOf(event.button);
    if (button == MouseButton::NoButton) return;
    bool down = event.type == SDL_MOUSEBUTTONDOWN;
    auto message =
        Message(down ? TWindowMessage::MouseDown : TWindowMessage::MouseUp, event.windowID);
    message.button = button;
    message.x = event.x;
    message.y = event.y;
    Push(message);
}

void TranslateMotion(const SDL_MouseMotionEvent& event) {
    auto message = Message(TWindowMessage::MouseMove, event.windowID);
    if (event.state & SDL_BUTTON_LMASK) message.buttons |= 1;
    if (event.state & SDL_BUTTON_RMASK) message.buttons |= 2;
    if (event.state & SDL_BUTTON_MMASK) message.buttons |= 4;
    message.x = event.x;
    message.y = event.y;
    Push(message);
}

void TranslateWheel(const SDL_MouseWheelEvent& event) {
    auto message = Message(TWindowMessage::MouseWheel, event.windowID);
    float notches = event.direction == SDL_MOUSEWHEEL_FLIPPED ? -event.preciseY : event.preciseY;
    message.wheel = static_cast<int>(notches);
    Push(message);
}

void Translate(const SDL_Event& event) {
    if (event.type == tickEventType) {
        PumpedMessage tick;
        tick.type = PumpedMessage::TimerTick;
        tick.timer = event.user.code;
        pending.push_back(tick);
        return;
    }
    switch (event.type) {
    case SDL_WINDOWEVENT:
        TranslateWindowEvent(event.window);
        break;
    case SDL_KEYDOWN:
    case SDL_KEYUP:
        TranslateKey(event.key);
        break;
    case SDL_TEXTINPUT:
        TranslateText(event.text);
        break;
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP:
        TranslateButton(event.button);
        break;
    case SDL_MOUSEMOTION:
        TranslateMotion(event.motion);
        break;
    case SDL_MOUSEWHEEL:
        TranslateWheel(event.wheel);
        break;
    default:
        break;
    }
}

Uint32 PostTick(Uint32 interval, void* handle) {
    SDL_Event event{};
    event.type = tickEventType;
    event.user.code = static_cast<Sint32>(reinterpret_cast<intptr_t>(handle));
    SDL_PushEvent(&event);
    return interval;
}

} // namespace

bool StartEvents() {
    // The framework catches the termination signals itself.
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    if (SDL_InitSubSystem(SDL_INIT_EVENTS | SDL_INIT_TIMER) != 0) return false;
    tickEventType = SDL_RegisterEvents(2);
    if (tickEventType == static_cast<Uint32>(-1)) return false;
    wakeEventType = tickEventType + 1;
    return true;
}

void StopEvents() {
    for (auto& [handle, id] : tickSources)
        SDL_RemoveTimer(id);
    tickSources.clear();
    SDL_Quit();
}

bool VideoStarted() {
    return SDL_GetCurrentVideoDriver() != nullptr;
}

bool NextMessage(PumpedMessage& message) {
    SDL_Event event;
    while (pending.empty() && SDL_PollEvent(&event))
        Translate(event);
    if (pending.empty()) return false;
    message = pending.front();
    pending.pop_front();
    return true;
}

void WaitForMessage() {
    if (pending.empty()) WaitForSdlEvent();
}

// The pump passes over the event; SDL_PushEvent may be called from any thread.
void WakePump() {
    if (wakeEventType == 0) return;
    SDL_Event event{};
    event.type = wakeEventType;
    SDL_PushEvent(&event);
}

Modifier ModifierState() {
    return ModifierFlagsOf(static_cast<Uint16>(SDL_GetModState()));
}

bool WindowClientSize(uint32_t window, int& width, int& height) {
    auto* sdlWindow = WindowOf(window);
    if (!sdlWindow) return false;
    SDL_GetWindowSize(sdlWindow, &width, &height);
    return true;
}

bool CursorInWindow(uint32_t window, int& x, int& y) {
    auto* sdlWindow = WindowOf(window);
    if (!sdlWindow) return false;
    int left = 0, top = 0;
    SDL_GetGlobalMouseState(&x, &y);
    SDL_GetWindowPosition(sdlWindow, &left, &top);
    x -= left;
    y -= top;
    return true;
}

uint32_t ActiveWindow() {
    SDL_Window* active = VideoStarted() ? SDL_GetKeyboardFocus() : nullptr;
    return active ? SDL_GetWindowID(active) : 0;
}

void WarpMouseInWindow(uint32_t window, int x, int y) {
    if (!VideoStarted()) return;
    if (auto* sdlWindow = WindowOf(window))
        SDL_WarpMouseInWindow(sdlWindow, x, y);
    else
        SDL_WarpMouseGlobal(x, y);
}

void SetCursorShown(bool shown) {
    if (VideoStarted()) SDL_ShowCursor(shown ? SDL_ENABLE : SDL_DISABLE);
}

void CaptureMouse(bool capture) {
    if (VideoStarted()) SDL_CaptureMouse(capture ? SDL_TRUE : SDL_FALSE);
}

int TellTerminal(MessageBoxKind kind, const std::string& title, const std::string& text) {
    const char* answer = kind == MessageBoxKind::YesNoCancel ? "Yes" : "OK";
    std::fprintf(stderr, "%s: %s [%s]\n", title.c_str(), text.c_str(), answer);
    std::fflush(stderr);
    return 1;
}

bool ShowSdlMessageBox(MessageBoxKind kind, const std::string& title, const std::string& text,
                       bool serious, int& chosen) {
    if (!sdlMessageBoxes) return false;
    constexpr Uint32 returnKey = SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT;
    constexpr Uint32 escapeKey = SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT;
    std::vector<SDL_MessageBoxButtonData> buttons;
    switch (kind) {
    case MessageBoxKind::Notice:
        buttons = {{returnKey | escapeKey, 1, "OK"}};
        break;
    case MessageBoxKind::OkCancel:
        buttons = {{returnKey, 1, "OK"}, {escapeKey, -1, "Cancel"}};
        break;
    case MessageBoxKind::YesNoCancel:
        buttons = {{returnKey, 1, "Yes"}, {0, 0, "No"}, {escapeKey, -1, "Cancel"}};
        break;
    }
    SDL_MessageBoxData box{};
    box.flags = (serious ? SDL_MESSAGEBOX_WARNING : SDL_MESSAGEBOX_INFORMATION) |
                SDL_MESSAGEBOX_BUTTONS_LEFT_TO_RIGHT;
    box.window = VideoStarted() ? SDL_GetKeyboardFocus() : nullptr;
    box.title = title.c_str();
    box.message = text.c_str();
    box.numbuttons = static_cast<int>(buttons.size());
    box.buttons = buttons.data();
    chosen = -1;
    return SDL_ShowMessageBox(&box, &chosen) == 0;
}

void EnableSdlMessageBoxes(bool enabled) {
    sdlMessageBoxes = enabled;
}

bool StartTickSource(int handle, int delayMs) {
    SDL_TimerID id = SDL_AddTimer(static_cast<Uint32>(delayMs), PostTick,
                                  reinterpret_cast<void*>(static_cast<intptr_t>(handle)));
    if (id == 0) return false;
    tickSources[handle] = id;
    return true;
}

void StopTickSource(int handle) {
    auto found = tickSources.find(handle);
    if (found == tickSources.end()) return;
    SDL_RemoveTimer(found->second);
    tickSources.erase(found);
}

} // namespace zandrel::native
