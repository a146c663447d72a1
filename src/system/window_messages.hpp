// Window messages: what the pump hands to a framework window, and their
// translation into events. Shared with the graphics module, whose windows
// receive them; programs see only the events.
#pragma once

#include <zandrel/system.hpp>

#include <cstdint>
#include <functional>

namespace zandrel {

// A window message in the platform-neutral form the pump hands to a framework window.
struct TWindowMessage {
    enum Kind {
        Close,
        FocusGained,
        FocusLost,
        KeyDown,
        KeyUp,
        Char,
        MouseDown,
        MouseUp,
        MouseMove,
        MouseWheel,
        MouseLeave,
    };
    Kind kind = Close;
    uint32_t window = 0;                        // the native window id
    Key key = Key::NoKey;                       // KeyDown/KeyUp: NoKey when the key has no code
    bool repeat = false;                        // KeyDown: the key was already down
    Modifier mods = Modifier::NoModifier;       // KeyDown/KeyUp: held once this key is taken
    int character = 0;                          // Char: a UTF-16 code unit
    MouseButton button = MouseButton::NoButton; // MouseDown/MouseUp
    int buttons = 0;  // MouseMove: held buttons, bit 0 left, 1 right, 2 middle
    int x = 0, y = 0; // mouse messages: client coordinates
    int wheel = 0;    // MouseWheel: notches, positive away from the user
};

// A framework window's message handler; the pump calls it for each message
// of that window.
using WindowProcedure = std::function<void(const TWindowMessage&)>;
void RegisterWindowProcedure(uint32_t window, WindowProcedure procedure);
void UnregisterWindowProcedure(uint32_t window);

// A framework window that shows its client area scaled: the program's
// `width` x `height` pixels fill `shownWidth` x `shownHeight` window pixels
// from (`shownLeft`, `shownTop`). From then on the window's mouse positions are
// client pixels (a position outside the shown part clamped to its edge), and
// MoveMouse places the pointer by them. Unregistering the window forgets it.
struct ClientScaling {
    int width = 0, height = 0;
    int shownLeft = 0, shownTop = 0, shownWidth = 0, shownHeight = 0;
};
void SetClientScaling(uint32_t window, const ClientScaling& scaling);

// Turns a window message into at most one framework event and emits it.
void TranslateWindowMessage(const TWindowMessage& message, const Ref<Object>& source);

} // namespace zandrel
