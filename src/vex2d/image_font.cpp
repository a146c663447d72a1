#include "graphics/bitmap_font.hpp"
#include "vex2d_parts.hpp"

#include <algorithm>
#include <cmath>
#include <cstddef>

namespace zandrel::embedded {
extern const unsigned char kestrfont[];
extern const std::size_t kestrfont_size;
} // namespace zandrel::embedded

namespace zandrel {

namespace {

constexpr int BuiltInGlyphs = 96;
constexpr int BuiltInFirstCode = 32;
constexpr int BuiltInWidth = 8;
constexpr int BuiltInHeight = 16;
constexpr int BuiltInAscend = 14; // the baseline of "kestrfont.bin"'s capitals

Ref<TImage> GlyphImage(const Ref<TPixmap>& pixmap, ImageFlags flags) {
    return TImage::Load(pixmap->Copy(), flags, 0, 0, 0);
}

} // namespace

void StartImageFontModule() {
    static bool started = false;
    RunOnce(started, [] {
        RegisterEmbedded(S("kestrfont.bin"), embedded::kestrfont,
                         static_cast<int>(embedded::kestrfont_size));
        StartImageModule();
    });
}

void TImageGlyph::GetRect(int& rx, int& ry, int& rw, int& rh) {
    rx = x;
    ry = y;
    rw = w;
    rh = h;
}

FontStyle TImageFont::Style() {
    return source ? source->Style() : FontStyle::Plain;
}

int TImageFont::Height() {
    return source ? source->Height() : BuiltInHeight;
}

int TImageFont::CountGlyphs() {
    return static_cast<int>(glyphs.size());
}

int TImageFont::CharToGlyph(int character) {
    if (source) return source->CharToGlyph(character);
    bool builtIn = character >= BuiltInFirstCode && character < BuiltInFirstCode + BuiltInGlyphs;
    return builtIn ? character - BuiltInFirstCode : -1;
}

Ref<TImageGlyph> TImageFont::LoadGlyph(int index) {
    if (index < 0 || index >= CountGlyphs()) return nullptr;
    auto& slot = glyphs[static_cast<size_t>(index)];
    if (slot || !source) return slot;
    slot = New<TImageGlyph>();
    auto from = source->LoadGlyph(index);
    if (!from) return slot;
    slot->advance = from->Advance();
    from->GetRect(slot->x, slot->y, slot->w, slot->h);
    if (auto pixmap = As<TPixmap>(from->Pixels())) slot->image = GlyphImage(pixmap, imageFlags);
    return slot;
}

int TImageFont::Ascend() {
    return source ? source->Ascend() : BuiltInAscend;
}

int TImageFont::Descend() {
    return source ? source->Descend() : BuiltInAscend - BuiltInHeight;
}

float TImageFont::Kerning(int left, int right) {
    return source ? source->Kerning(left, right) : 0.0f;
}

void TImageFont::Draw(const String& text, float x, float y, float ix, float iy, float jx,
                      float jy) {
    ForEachGlyph(*this, text, [&](TImageGlyph& glyph, float kerning) {
        x += kerning * ix;
        y += kerning * jx;
        if (auto& image = glyph.image) {
            float gx = static_cast<float>(glyph.x), gy = static_cast<float>(glyph.y);
            float dx = std::trunc(gx * ix + gy * iy), dy = std::trunc(gx * jx + gy * jy);
            image->Frame(0)->Draw(0, 0, static_cast<float>(image->width),
                                  static_cast<float>(image->height), x + dx, y + dy);
        }
        x += glyph.advance * ix;
        y += glyph.advance * jx;
    });
}

Ref<TImageFont> TImageFont::Load(const Url& url, int size, FontStyle style) {
    auto font = LoadFont(url, size, style);
    if (!font) return nullptr;
    auto imageFont = New<TImageFont>();
    imageFont->source = font;
    imageFont->glyphs.resize(static_cast<size_t>(std::max(font->CountGlyphs(), 0)));
    imageFont->imageFlags = (style & FontStyle::Smooth)
                                ? ImageFlags::Filtered | ImageFlags::Mipmapped
                                : ImageFlags::NoFlags;
    return imageFont;
}

Ref<TImageFont> TImageFont::CreateDefault() {
    auto font = New<TImageFont>();
    font->glyphs.resize(BuiltInGlyphs);
    auto strip = BitmapFontPixmap(S("kestrfont.bin"), BuiltInGlyphs * BuiltInWidth);
    for (int j = 0; j < BuiltInGlyphs; ++j) {
        auto glyph = New<TImageGlyph>();
        glyph->advance = BuiltInWidth;
        glyph->w = BuiltInWidth;
        glyph->h = BuiltInHeight;
        glyph->image = GlyphImage(strip->Window(j * BuiltInWidth, 0, BuiltInWidth, BuiltInHeight),
                                  ImageFlags::NoFlags);
        font->glyphs[static_cast<size_t>(j)] = glyph;
    }
    return font;
}

Ref<TImageFont> LoadImageFont(const Url& url, int size, FontStyle style) {
    return TImageFont::Load(url, size, style);
}

} // namespace zandrel
