// The built-in bitmap fonts as pixmaps, shared with the 2D renderer's
// built-in image font.
#pragma once

#include <zandrel/pixmap.hpp>

namespace zandrel {

// An 8 x 16 bitmap font resource (16 rows of 96 bytes, bit k of a byte is
// column k) as opaque white ink on transparent black: character c takes
// columns 8 (c - 32) to 8 (c - 32) + 7 of an RGBA8888 pixmap `width` wide.
// Throws RuntimeError when the resource is missing or `width` is too narrow.
Ref<TPixmap> BitmapFontPixmap(const String& resource, int width);

} // namespace zandrel
