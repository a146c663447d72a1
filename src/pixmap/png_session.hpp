// What reading and writing a PNG share: the session a libpng callback reaches
// through its io pointer, the silent error handlers and the row table.
#pragma once

#include "pixmap_private.hpp"

#include <png.h>

#include <exception>
#include <vector>

namespace zandrel::png_io {

// One read or write: the stream and an exception a callback kept.
struct PngSession {
    TStream* stream = nullptr;
    std::exception_ptr held;
    png_structp png = nullptr;
    png_infop info = nullptr;
};

inline void IgnoreWarning(png_structp, png_const_charp) {}

// libpng's own handler would print the message before jumping.
[[noreturn]] inline void JumpOnError(png_structp png, png_const_charp) {
    png_longjmp(png, 1);
}

inline PngSession& SessionOf(png_structp png) {
    return *static_cast<PngSession*>(png_get_io_ptr(png));
}

inline std::vector<png_bytep> RowPointers(TPixmap& pixmap) {
    std::vector<png_bytep> rows(static_cast<size_t>(pixmap.Height()));
    for (int y = 0; y < pixmap.Height(); ++y)
        rows[y] = pixmap.PixelPtr(0, y);
    return rows;
}

} // namespace zandrel::png_io
