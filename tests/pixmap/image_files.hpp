// Image files built byte by byte for the loader tests, and the pixels they
// are meant to decode to.
#pragma once

#include "pixmap/pixmap_private.hpp"

#include <vector>

namespace zandrel::test {

// A format from its number: for loops over the six formats and for numbers
// that are no format.
inline PixelFormat Fmt(int number) {
    return static_cast<PixelFormat>(number);
}

using Bytes8 = std::vector<uint8_t>;

// The bytes as a bank, a stream over them, and what LoadPixmap makes of them.
Ref<TBank> BankOf(const Bytes8& bytes);
Ref<TStream> StreamOver(const Bytes8& bytes);
Ref<TPixmap> LoadFromBytes(const Bytes8& bytes);

// A test picture: distinct colours and alpha values in every pixel.
uint32_t PatternPixel(int x, int y);

// Every pixel of the pixmap as ARGB, row by row.
std::vector<uint32_t> ArgbPixels(const Ref<TPixmap>& pixmap);

struct BmpSpec {
    int width = 7;
    int height = 5;
    int bitCount = 24;
    int compression = 0;
    int infoSize = 40; // 12: the OS/2 1.x header
    bool topDown = false;
    int coloursUsed = 0;     // written as is
    int paletteEntries = -1; // entries stored; -1: what the depth indexes (2 for 1-bit)
    uint32_t masks[4] = {0, 0, 0, 0};
    int gapBeforePixels = 0; // bytes between the palette and the pixels
};

// Pixels come from PatternPixel; indexed files use index (x + 2y) mod the
// stored entries, with entry i = PaletteColour(i).
Bytes8 MakeBmp(const BmpSpec& spec);
uint32_t PaletteColour(int index);
// The colour the loader must give each pixel, as ARGB.
uint32_t ExpectedBmpPixel(const BmpSpec& spec, int x, int y);

struct TgaSpec {
    int width = 7;
    int height = 5;
    int depth = 24;
    bool runLength = false;
    bool topLeft = false;
    int idLength = 0;
};

// Pixels from PatternPixel, with runs of equal pixels (x / 3 steps) so that
// the run-length form has both kinds of packet.
Bytes8 MakeTga(const TgaSpec& spec);
uint32_t ExpectedTgaPixel(const TgaSpec& spec, int x, int y);

} // namespace zandrel::test
