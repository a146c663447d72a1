// Font files for the font tests: DejaVu Sans from Debian's fonts-dejavu-core
// and a one-size bitmap face written as BDF.
#pragma once

#include <string>

namespace zandrel::test {

inline const std::string DejaVuSans = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";

// The BDF face: 12 pixels only (ascent 10, descent 2), a space with advance 7
// and no bitmap, and an 'A' of 7 x 9 one-bit pixels (TinyA) placed 1 pixel
// below the line's top, advance 8.
constexpr int TinySize = 12;
constexpr int TinyAscent = 10;
constexpr int TinyAWidth = 7;
constexpr int TinyAHeight = 9;
constexpr int TinyATop = 1;
constexpr unsigned char TinyA[TinyAHeight] = {0x10, 0x28, 0x44, 0x82, 0xFE, 0x82, 0x82, 0x82, 0x80};
inline bool TinyInk(int column, int row) {
    return TinyA[row] << column & 0x80;
}

// The BDF text; `registry` is its CHARSET_REGISTRY.
std::string TinyBdf(const std::string& registry = "ISO10646");

} // namespace zandrel::test
