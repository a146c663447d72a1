#include "system_native.hpp"

#include <SDL.h>

#include <array>

namespace zandrel::native {

namespace {

// Win32 virtual-key codes, the numbering that framework events carry, and
// the scan-code rule that tells left and right Shift, Control and Alt apart.
std::array<uint8_t, SDL_NUM_SCANCODES> BuildKeyTable() {
    std::array<uint8_t, SDL_NUM_SCANCODES> table{};
    for (int i = 0; i < 26; ++i)
        table[SDL_SCANCODE_A + i] = static_cast<uint8_t>('A' + i);
    for (int i = 0; i < 9; ++i)
        table[SDL_SCANCODE_1 + i] = static_cast<uint8_t>('1' + i);
    table[SDL_SCANCODE_0] = '0';
    for (int i = 0; i < 12; ++i)
        table[SDL_SCANCODE_F1 + i] = static_cast<uint8_t>(112 + i);
    for (int i = 0; i < 12; ++i)
        table[SDL_SCANCODE_F13 + i] = static_cast<uint8_t>(124 + i);
    for (int i = 0; i < 9; ++i)
        table[SDL_SCANCODE_KP_1 + i] = static_cast<uint8_t>(97 + i);
    const std::pair<SDL_Scancode, uint8_t> named[] = {
        {SDL_SCANCODE_RETURN, 13},
        {SDL_SCANCODE_ESCAPE, 27},
        {SDL_SCANCODE_BACKSPACE, 8},
        {SDL_SCANCODE_TAB, 9},
        {SDL_SCANCODE_SPACE, 32},
        {SDL_SCANCODE_MINUS, 189},
        {SDL_SCANCODE_EQUALS, 187},
        {SDL_SCANCODE_LEFTBRACKET, 219},
        {SDL_SCANCODE_RIGHTBRACKET, 221},
        {SDL_SCANCODE_BACKSLASH, 220},
        {SDL_SCANCODE_NONUSHASH, 220},
        {SDL_SCANCODE_SEMICOLON, 186},
        {SDL_SCANCODE_APOSTROPHE, 222},
        {SDL_SCANCODE_GRAVE, 192},
        {SDL_SCANCODE_COMMA, 188},
        {SDL_SCANCODE_PERIOD, 190},
        {SDL_SCANCODE_SLASH, 191},
        {SDL_SCANCODE_CAPSLOCK, 20},
        {SDL_SCANCODE_PRINTSCREEN, 44},
        {SDL_SCANCODE_SCROLLLOCK, 145},
        {SDL_SCANCODE_PAUSE, 19},
        {SDL_SCANCODE_INSERT, 45},
        {SDL_SCANCODE_HOME, 36},
        {SDL_SCANCODE_PAGEUP, 33},
        {SDL_SCANCODE_DELETE, 46},
        {SDL_SCANCODE_END, 35},
        {SDL_SCANCODE_PAGEDOWN, 34},
        {SDL_SCANCODE_RIGHT, 39},
        {SDL_SCANCODE_LEFT, 37},
        {SDL_SCANCODE_DOWN, 40},
        {SDL_SCANCODE_UP, 38},
        {SDL_SCANCODE_NUMLOCKCLEAR, 144},
        {SDL_SCANCODE_KP_DIVIDE, 111},
        {SDL_SCANCODE_KP_MULTIPLY, 106},
        {SDL_SCANCODE_KP_MINUS, 109},
        {SDL_SCANCODE_KP_PLUS, 107},
        {SDL_SCANCODE_KP_ENTER, 13},
        {SDL_SCANCODE_KP_0, 96},
        {SDL_SCANCODE_KP_PERIOD, 110},
        {SDL_SCANCODE_NONUSBACKSLASH, 226},
        {SDL_SCANCODE_APPLICATION, 93},
        {SDL_SCANCODE_LSHIFT, 160},
        {SDL_SCANCODE_RSHIFT, 161},
        {SDL_SCANCODE_LCTRL, 162},
        {SDL_SCANCODE_RCTRL, 163},
        {SDL_SCANCODE_LALT, 164},
        {SDL_SCANCODE_RALT, 165},
        {SDL_SCANCODE_LGUI, 91},
        {SDL_SCANCODE_RGUI, 92},
    };
    for (auto [scancode, key] : named)
        table[scancode] = key;
    return table;
}

} // namespace

Key VirtualKeyOf(int scancode) {
    static const auto table = BuildKeyTable();
    if (scancode < 0 || scancode >= SDL_NUM_SCANCODES) return Key::NoKey;
    return static_cast<Key>(table[static_cast<size_t>(scancode)]);
}

} // namespace zandrel::native
