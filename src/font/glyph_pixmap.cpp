#include "font_parts.hpp"

#include FT_BITMAP_H

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace zandrel {

namespace {

// A positive pitch runs the rows down the buffer, a negative one up it.
const uint8_t* RowStart(const FT_Bitmap& bitmap, unsigned row) {
    if (bitmap.pitch >= 0) return bitmap.buffer + size_t{row} * static_cast<size_t>(bitmap.pitch);
    return bitmap.buffer + size_t{bitmap.rows - 1 - row} * static_cast<size_t>(-bitmap.pitch);
}

bool RowsHoldWidth(const FT_Bitmap& bitmap) {
    size_t bytes = bitmap.pixel_mode == FT_PIXEL_MODE_MONO ? (bitmap.width + 7) / 8 : bitmap.width;
    return static_cast<size_t>(std::abs(bitmap.pitch)) >= bytes;
}

// Levels 0 to num_grays - 1 spread over 0-255.
void CopyGrey(const FT_Bitmap& bitmap, TPixmap& target, int border) {
    int top = bitmap.num_grays - 1;
    uint8_t levels[256];
    if (top != 255)
        for (int v = 0; v < 256; ++v)
            levels[v] =
                static_cast<uint8_t>(top <= 0 ? (v ? 255 : 0) : std::min(255, v * 255 / top));
    for (unsigned row = 0; row < bitmap.rows; ++row) {
        const uint8_t* from = RowStart(bitmap, row);
        uint8_t* to = target.PixelPtr(border, static_cast<int>(row) + border);
        if (top == 255)
            std::memcpy(to, from, bitmap.width);
        else
            for (unsigned x = 0; x < bitmap.width; ++x)
                to[x] = levels[from[x]];
    }
}

// Most significant bit first within each byte.
void ExpandBits(const FT_Bitmap& bitmap, TPixmap& target, int border) {
    for (unsigned row = 0; row < bitmap.rows; ++row) {
        const uint8_t* from = RowStart(bitmap, row);
        uint8_t* to = target.PixelPtr(border, static_cast<int>(row) + border);
        for (unsigned x = 0; x < bitmap.width; ++x)
            to[x] = (from[x >> 3] << (x & 7)) & 0x80 ? 255 : 0;
    }
}

// Releases FreeType's copy however the conversion ends.
class ConvertedBitmap {
public:
    explicit ConvertedBitmap(FT_Library library) : library_(library) { FT_Bitmap_Init(&bitmap); }
    ~ConvertedBitmap() { FT_Bitmap_Done(library_, &bitmap); }
    ConvertedBitmap(const ConvertedBitmap&) = delete;
    ConvertedBitmap& operator=(const ConvertedBitmap&) = delete;
    FT_Bitmap bitmap;

private:
    FT_Library library_;
};

} // namespace

Ref<TPixmap> GlyphPixmap(FT_Library library, const FT_Bitmap& bitmap, int border) {
    bool grey = bitmap.pixel_mode == FT_PIXEL_MODE_GRAY;
    bool mono = bitmap.pixel_mode == FT_PIXEL_MODE_MONO;
    if (bitmap.width == 0 || bitmap.rows == 0 || !bitmap.buffer) return nullptr;
    if (!grey && !mono) {
        // Two- and four-bit grey, colour and subpixel bitmaps: one byte per pixel first.
        ConvertedBitmap converted(library);
        if (FT_Bitmap_Convert(library, &bitmap, &converted.bitmap, 1) != 0) return nullptr;
        return GlyphPixmap(library, converted.bitmap, border);
    }
    int64_t width = int64_t{bitmap.width} + 2 * border, height = int64_t{bitmap.rows} + 2 * border;
    if (!RowsHoldWidth(bitmap) || !PixmapFits(width, height, PixelFormat::FormatA8)) return nullptr;
    auto pixmap = TPixmap::Create(static_cast<int>(width), static_cast<int>(height),
                                  PixelFormat::FormatA8, 4);
    if (border) std::memset(pixmap->Pixels(), 0, size_t(pixmap->Pitch()) * pixmap->Height());
    if (grey)
        CopyGrey(bitmap, *pixmap, border);
    else
        ExpandBits(bitmap, *pixmap, border);
    return pixmap;
}

} // namespace zandrel
