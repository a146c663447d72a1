// Outline and bitmap fonts read by FreeType (TrueType, OpenType, Type 1, PCF,
// BDF and the other formats it knows), each glyph rendered on first use into
// an 8-bit alpha pixmap with its placement and advance, for the image fonts
// of the 2D renderer.
//
// Start: StartFontModule(), which StartZandrel() calls, adds the FreeType
// loader to the font-loader list, so that LoadImageFont("DejaVuSans.ttf", 24)
// opens the file with it.
// Threads: the main thread only, like the 2D renderer that draws the glyphs.
#pragma once

#include <zandrel/vex2d.hpp>

#include <memory>
#include <vector>

namespace zandrel {

// Starts the 2D renderer's font layer and adds the FreeType font loader.
void StartFontModule();

// A glyph FreeType rendered: its alpha pixmap, placement and advance.
class TFreeTypeGlyph : public TGlyph {
public:
    // The glyph's alpha pixels.
    Ref<TPixmap> pixels; // FormatA8; no object for a glyph without ink
    // How far the pen moves after the glyph, in pixels.
    float advance = 0;
    // The pixmap's top-left from the pen (y down from the line's top) and its size, in pixels.
    int x = 0, y = 0, w = 0, h = 0;

    Ref<Object> Pixels() override { return pixels; }
    float Advance() override { return advance; }
    void GetRect(int& rx, int& ry, int& rw, int& rh) override;
};

// A font face opened by FreeType at one pixel size.
class TFreeTypeFont : public TFont {
public:
    ~TFreeTypeFont() override;

    FontStyle Style() override { return style_; }
    // Line height, ascender and descender (negative below the baseline) in
    // whole pixels.
    int Height() override { return height_; }
    int Ascend() override { return ascend_; }   // pixels above the baseline
    int Descend() override { return descend_; } // negative: pixels below the baseline
    // The face's kerning of the pair, fitted to whole pixels as FreeType
    // hints it; 0 for a face without kerning.
    float Kerning(int left, int right) override;
    // The face's glyph count. Index k is glyph k + 1 of the face, so the
    // face's missing-character glyph is never drawn.
    int CountGlyphs() override { return static_cast<int>(glyphs_.size()); }
    // -1 for a character the face does not map.
    int CharToGlyph(int character) override;
    // Rendered on first use and kept; an empty glyph when FreeType cannot
    // render it, no object for an index outside the font.
    Ref<TGlyph> LoadGlyph(int index) override;

    // A plain path is opened by FreeType; a URL with a protocol ("incbin::",
    // ...) or an object (a bank, a stream) is read whole into memory that
    // the font keeps. Style flag 4 gives each glyph a one-pixel transparent
    // border for filtered drawing. A size the face cannot give falls back to
    // the largest smaller one it can. No object for a size outside 1-4096,
    // for data that is not a font, or when FreeType cannot start.
    static Ref<TFreeTypeFont> Load(const Url& url, int size, FontStyle style);

private:
    struct Face; // FreeType's face and the bytes a memory face reads
    TFreeTypeFont(std::unique_ptr<Face> face, FontStyle style);
    Ref<TFreeTypeGlyph> RenderGlyph(int index);

    std::unique_ptr<Face> face_;
    FontStyle style_ = FontStyle::Plain;
    int height_ = 0, ascend_ = 0, descend_ = 0;
    std::vector<Ref<TFreeTypeGlyph>> glyphs_;
};

} // namespace zandrel
