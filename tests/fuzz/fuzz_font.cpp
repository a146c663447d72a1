// Feeds arbitrary bytes to the FreeType font as a font file in memory, at a
// pixel size and style picked from the input's length, and renders every
// glyph and the glyphs of a few characters.
#include <zandrel/zandrel.hpp>

#include <cstdint>

using namespace zandrel;

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    StartZandrel();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const int sizes[] = {7, 12, 13, 24};
    if (size > (1u << 24)) return 0;
    auto bank = CreateBankOver(const_cast<uint8_t*>(data), static_cast<int>(size));
    FontStyle style = size & 4 ? FontStyle::Smooth : FontStyle::Plain;
    auto font = TFreeTypeFont::Load(bank, sizes[size % 4], style);
    if (!font) return 0;
    volatile int sink = font->Height() + font->CharToGlyph('A') + font->CharToGlyph(0x20AC);
    for (int index = 0; index < font->CountGlyphs(); ++index) {
        auto glyph = As<TFreeTypeGlyph>(font->LoadGlyph(index));
        if (glyph && glyph->pixels)
            sink = sink + *glyph->pixels->PixelPtr(glyph->w - 1, glyph->h - 1);
    }
    return 0;
}
