// Feeds arbitrary bytes to the FreeType font as a font file in memory, at a
// pixel size and style picked from the input's length, and renders every
// glyph, whose rectangle must be its pixmap's, and the glyphs of a few
// characters.
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
        if (!glyph || !glyph->pixels) continue;
        // The rectangle the renderer places must be the pixmap's.
        int x = 0, y = 0, w = 0, h = 0;
        glyph->GetRect(x, y, w, h);
        if (w != glyph->pixels->Width() || h != glyph->pixels->Height()) __builtin_trap();
        sink = sink + *glyph->pixels->PixelPtr(w - 1, h - 1);
    }
    return 0;
}
