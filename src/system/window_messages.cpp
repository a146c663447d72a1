#include "system_native.hpp"
#include "system_parts.hpp"

#include <unordered_map>

namespace zandrel {

namespace {

std::unordered_map<uint32_t, WindowProcedure> windowProcedures;
Modifier modifierFlags = Modifier::NoModifier;

struct MouseTracking {
    uint32_t window = 0;
    Ref<Object> source;
    bool cursorVisible = true;
};

MouseTracking tracking;

bool InsideClientArea(uint32_t window, int x, int y) {
    int width = 0, height = 0;
    if (!native::WindowClientSize(window, width, height)) return false;
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
}

void UnregisterWindowProcedure(uint32_t window) {
    windowProcedures.erase(window);
    if (tracking.window == window) {
        tracking.window = 0;
        tracking.source = nullptr;
        UpdateCursorVisibility();
    }
}

void DispatchWindowMessage(const TWindowMessage& message) {
    auto found = windowProcedures.find(message.window);
    if (found == windowProcedures.end()) return;
    auto procedure = found->second; // it may unregister itself
    procedure(message);
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
