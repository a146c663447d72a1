#include "system_native.hpp"
#include "system_parts.hpp"

#include <algorithm>
#include <unordered_map>

namespace zandrel {

namespace {

std::unordered_map<uint32_t, WindowProcedure> windowProcedures;
std::unordered_map<uint32_t, ClientScaling> clientScalings;
uint32_t newestWindow = 0;
Modifier modifierFlags = Modifier::NoModifier;

struct MouseTracking {
    uint32_t window = 0;
    Ref<Object> source;
    bool cursorVisible = true;
};

MouseTracking tracking;

const ClientScaling* ScalingOf(uint32_t window) {
    auto found = clientScalings.find(window);
    return found == clientScalings.end() ? nullptr : &found->second;
}

// A window position on one axis as a client pixel, clamped to the client area.
int ToClient(int position, int shownStart, int shown, int client) {
    if (shown <= 0 || client <= 0) return 0;
    int64_t pixel = (int64_t{position} - shownStart) * client / shown;
    return static_cast<int>(std::clamp<int64_t>(pixel, 0, client - 1));
}

// The window position at the centre of a client pixel.
int FromClient(int pixel, int shownStart, int shown, int client) {
    if (client <= 0) return shownStart;
    return shownStart + static_cast<int>((2 * int64_t{pixel} + 1) * shown / (2 * int64_t{client}));
}

void MapToClient(uint32_t window, int& x, int& y) {
    if (const ClientScaling* s = ScalingOf(window)) {
        x = ToClient(x, s->shownLeft, s->shownWidth, s->width);
        y = ToClient(y, s->shownTop, s->shownHeight, s->height);
    }
}

bool IsPositionMessage(const TWindowMessage& message) {
    return message.kind == TWindowMessage::MouseDown || message.kind == TWindowMessage::MouseUp ||
           message.kind == TWindowMessage::MouseMove;
}

bool InsideClientArea(uint32_t window, int x, int y) {
    int width = 0, height = 0;
    if (const ClientScaling* s = ScalingOf(window)) {
        width = s->width;
        height = s->height;
    } else if (!native::WindowClientSize(window, width, height)) {
        return false;
    }
    return x >= 0 && y >= 0 && x < width && y < height;
}

// 2 for the right button, else 4 for the middle one, else 1 for the left one.
int MoveButtonData(int buttons) {
    if (buttons & 2) return 2;
    if (buttons & 4) return 4;
    if (buttons & 1) return 1;
    return 0;
}

void TranslateKey(const TWindowMessage& message, const Ref<Object>& source) {
    int key = ToNumber(message.key);
    if (key < 1 || key > 255) return;
    EventId id = EventId::KeyUp;
    if (message.kind == TWindowMessage::KeyDown)
        id = message.repeat ? EventId::KeyRepeat : EventId::KeyDown;
    EmitNewEvent(id, source, key, modifierFlags);
}

void TranslateMouse(const TWindowMessage& message, const Ref<Object>& source) {
    switch (message.kind) {
    case TWindowMessage::MouseDown:
        native::CaptureMouse(true);
        EmitNewEvent(EventId::MouseDown, source, ToNumber(message.button), modifierFlags, message.x,
                     message.y);
        break;
    case TWindowMessage::MouseUp:
        native::CaptureMouse(false);
        EmitNewEvent(EventId::MouseUp, source, ToNumber(message.button), modifierFlags, message.x,
                     message.y);
        break;
    case TWindowMessage::MouseMove: {
        bool inside = InsideClientArea(message.window, message.x, message.y);
        TrackMouse(inside ? message.window : 0, source, message.x, message.y);
        EmitNewEvent(EventId::MouseMove, source, MoveButtonData(message.buttons), modifierFlags,
                     message.x, message.y);
        break;
    }
    case TWindowMessage::MouseWheel:
        EmitNewEvent(EventId::MouseWheel, source, message.wheel, modifierFlags);
        break;
    case TWindowMessage::MouseLeave:
        if (message.window == tracking.window) TrackMouse(0, nullptr, 0, 0);
        break;
    default:
        break;
    }
}

} // namespace

void RegisterWindowProcedure(uint32_t window, WindowProcedure procedure) {
    windowProcedures[window] = std::move(procedure);
    newestWindow = window;
}

void UnregisterWindowProcedure(uint32_t window) {
    windowProcedures.erase(window);
    clientScalings.erase(window);
    if (newestWindow == window) newestWindow = 0;
    if (tracking.window == window) {
        tracking.window = 0;
        tracking.source = nullptr;
        UpdateCursorVisibility();
    }
}

void SetClientScaling(uint32_t window, const ClientScaling& scaling) {
    clientScalings[window] = scaling;
}

void DispatchWindowMessage(const TWindowMessage& message) {
    auto found = windowProcedures.find(message.window);
    if (found == windowProcedures.end()) return;
    auto procedure = found->second; // it may unregister itself
    if (!IsPositionMessage(message)) return procedure(message);
    TWindowMessage mapped = message;
    MapToClient(mapped.window, mapped.x, mapped.y);
    procedure(mapped);
}

void WarpMouse(int x, int y) {
    uint32_t window = native::ActiveWindow();
    if (!window) window = newestWindow;
    if (const ClientScaling* s = ScalingOf(window)) {
        x = FromClient(x, s->shownLeft, s->shownWidth, s->width);
        y = FromClient(y, s->shownTop, s->shownHeight, s->height);
    }
    native::WarpMouseInWindow(window, x, y);
}

void TranslateWindowMessage(const TWindowMessage& message, const Ref<Object>& source) {
    switch (message.kind) {
    case TWindowMessage::Close:
        EmitNewEvent(EventId::AppTerminate, source, 0, modifierFlags);
        break;
    case TWindowMessage::FocusGained:
        EmitNewEvent(EventId::AppResume, source, 0, modifierFlags);
        break;
    case TWindowMessage::FocusLost:
        EmitNewEvent(EventId::AppSuspend, source, 0, modifierFlags);
        break;
    case TWindowMessage::KeyDown:
    case TWindowMessage::KeyUp:
        TranslateKey(message, source);
        break;
    case TWindowMessage::Char:
        EmitNewEvent(EventId::KeyChar, source, message.character, modifierFlags);
        break;
    default:
        TranslateMouse(message, source);
        break;
    }
}

void TrackMouse(uint32_t window, const Ref<Object>& source, int x, int y) {
    if (window == tracking.window) return;
    if (tracking.window) {
        int leftX = 0, leftY = 0;
        native::CursorInWindow(tracking.window, leftX, leftY);
        MapToClient(tracking.window, leftX, leftY);
        EmitNewEvent(EventId::MouseLeave, tracking.source, 0, Modifier::NoModifier, leftX, leftY);
    }
    tracking.window = window;
    UpdateCursorVisibility();
    if (window) {
        tracking.source = source;
        EmitNewEvent(EventId::MouseEnter, source, 0, Modifier::NoModifier, x, y);
    }
}

// Hidden only while the pointer is over a framework window and the program hid it.
void UpdateCursorVisibility() {
    native::SetCursorShown(tracking.cursorVisible || tracking.window == 0);
}

void SetCursorVisibleFlag(bool visible) {
    tracking.cursorVisible = visible;
}

Modifier ModifierFlags() {
    return modifierFlags;
}

void SetModifierFlags(Modifier flags) {
    modifierFlags = flags;
}

} // namespace zandrel
