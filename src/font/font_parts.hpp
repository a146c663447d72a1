// The FreeType side of the font module: the library handle the fonts share,
// a face with the bytes it reads, glyph bitmaps made into pixmaps, and the
// loader added at start-up. Every FreeType call of the framework is in this
// folder; none of them calls back into C++ code, so no exception can unwind
// through FreeType.
#pragma once

#include <zandrel/font.hpp>

#include <ft2build.h>
#include FT_FREETYPE_H

namespace zandrel {

// The library handle. Every face holds it, so that FreeType is done only
// after the last font, whenever that goes.
class FreeTypeLibrary {
public:
    explicit FreeTypeLibrary(FT_Library handle) : handle_(handle) {}
    ~FreeTypeLibrary();
    FreeTypeLibrary(const FreeTypeLibrary&) = delete;
    FreeTypeLibrary& operator=(const FreeTypeLibrary&) = delete;
    FT_Library Handle() const { return handle_; }

private:
    FT_Library handle_;
};

// Made on first use; an exit handler lets go of the module's reference. No
// object when FreeType cannot start, or once the exit handlers have run.
Ref<FreeTypeLibrary> SharedFreeTypeLibrary();

struct TFreeTypeFont::Face {
    Ref<FreeTypeLibrary> library;
    FT_Face handle = nullptr;
    ByteArray data; // the font file of a memory face, read until FT_Done_Face
    int pixelSize = 0;

    Face() = default;
    Face(const Face&) = delete;
    Face& operator=(const Face&) = delete;
    ~Face();
};

// The face of a font file: a plain path FreeType opens itself, anything
// else is read whole into `data`, which a memory face reads for as long as it
// lives. Null when nothing can be opened or FreeType cannot read it.
FT_Face OpenFace(FT_Library library, const Url& url, ByteArray& data);

// The rendered bitmap as a PixelFormat::FormatA8 pixmap framed by `border` transparent
// pixels: grey levels scaled to 0-255, one-bit pixels 0 or 255. No object
// for an empty bitmap or one whose rows are shorter than its width.
Ref<TPixmap> GlyphPixmap(FT_Library library, const FT_Bitmap& bitmap, int border);

class TFreeTypeFontLoader : public TFontLoader {
public:
    // No object for a URL that is empty text and no object.
    Ref<TFont> LoadFont(const Url& url, int size, FontStyle style) override;
};

} // namespace zandrel
