#include "png_session.hpp"

#include <cstdlib>

namespace zandrel {

namespace {

using namespace png_io;

constexpr size_t signatureSize = 8;
// libpng reads ancillary chunks whole, so a few bytes of chunk header could
// make it ask for gigabytes. Its own blocks (rows, chunks, zlib state) are
// small for any image within MaxPixmapBytes; the pixels go to the pixmap.
constexpr png_alloc_size_t maxLibraryBlock = 64 << 20;

png_voidp BoundedMalloc(png_structp, png_alloc_size_t size) {
    return size <= maxLibraryBlock ? std::malloc(size) : nullptr;
}

void FreeBlock(png_structp, png_voidp block) {
    std::free(block);
}

// A short read is an error too: libpng would otherwise decode stale bytes.
void ReadCallback(png_structp png, png_bytep data, size_t length) {
    auto& session = SessionOf(png);
    bool complete = false;
    HoldException(session.held, [&] {
        complete =
            ReadUpTo(*session.stream, data, static_cast<int>(length)) == static_cast<int>(length);
    });
    if (!complete) png_error(png, "read");
}

// The setjmp functions below hold no object with a destructor: libpng's
// errors leave them by longjmp.

bool ReadHeaderAndTransforms(PngSession& s) {
    if (setjmp(png_jmpbuf(s.png))) return false;
    png_set_sig_bytes(s.png, signatureSize);
    png_read_info(s.png, s.info);
    png_set_strip_16(s.png);
    png_set_expand(s.png);
    png_set_interlace_handling(s.png);
    png_read_update_info(s.png, s.info);
    return true;
}

bool ReadImageRows(PngSession& s, png_bytepp rows) {
    if (setjmp(png_jmpbuf(s.png))) return false;
    png_read_image(s.png, rows);
    png_read_end(s.png, nullptr);
    return true;
}

PixelFormat FormatForColourType(int colourType) {
    switch (colourType) {
    case PNG_COLOR_TYPE_GRAY:
        return PixelFormat::FormatI8;
    case PNG_COLOR_TYPE_RGB:
        return PixelFormat::FormatRGB888;
    case PNG_COLOR_TYPE_RGB_ALPHA:
    case PNG_COLOR_TYPE_GRAY_ALPHA:
        return PixelFormat::FormatRGBA8888;
    default:
        return PixelFormat::FormatNone;
    }
}

// Grey+alpha rows were read into the first half of the RGBA rows; spread
// them from the end so that nothing is overwritten before it is read.
void SpreadGreyAlpha(TPixmap& pixmap) {
    for (int y = 0; y < pixmap.Height(); ++y) {
        uint8_t* row = pixmap.PixelPtr(0, y);
        for (int x = pixmap.Width() - 1; x >= 0; --x) {
            uint8_t grey = row[x * 2], alpha = row[x * 2 + 1];
            uint8_t* out = row + x * 4;
            out[0] = out[1] = out[2] = grey;
            out[3] = alpha;
        }
    }
}

// The decoded image straight into the pixmap's rows.
Ref<TPixmap> DecodePng(PngSession& s) {
    if (!ReadHeaderAndTransforms(s)) return nullptr;
    png_uint_32 width = 0, height = 0;
    int depth = 0, colourType = 0;
    png_get_IHDR(s.png, s.info, &width, &height, &depth, &colourType, nullptr, nullptr, nullptr);
    PixelFormat format = FormatForColourType(colourType);
    if (depth != 8 || format == PixelFormat::FormatNone) return nullptr;
    auto pixmap = CreateImagePixmap(width, height, format);
    if (!pixmap || png_get_rowbytes(s.png, s.info) > static_cast<size_t>(pixmap->Pitch()))
        return nullptr;
    auto rows = RowPointers(*pixmap);
    if (!ReadImageRows(s, rows.data())) return nullptr;
    if (colourType == PNG_COLOR_TYPE_GRAY_ALPHA) SpreadGreyAlpha(*pixmap);
    return pixmap;
}

bool HasPngSignature(TStream& stream) {
    png_byte signature[signatureSize];
    return ReadUpTo(stream, signature, signatureSize) == signatureSize &&
           png_sig_cmp(signature, 0, signatureSize) == 0;
}

} // namespace

Ref<TPixmap> TPixmapLoaderPNG::LoadPixmap(const Ref<TStream>& stream) {
    auto view = OpenReadStream(stream);
    if (!view) return nullptr;
    Ref<TPixmap> pixmap;
    PngSession s;
    s.stream = view.get();
    if (HasPngSignature(*view)) {
        s.png = png_create_read_struct_2(PNG_LIBPNG_VER_STRING, &s, JumpOnError, IgnoreWarning,
                                         nullptr, BoundedMalloc, FreeBlock);
        if (s.png) s.info = png_create_info_struct(s.png);
        if (s.info) {
            png_set_read_fn(s.png, &s, ReadCallback);
            pixmap = DecodePng(s);
        }
        png_destroy_read_struct(&s.png, &s.info, nullptr);
    }
    view->Close();
    if (s.held) std::rethrow_exception(s.held);
    return pixmap;
}

} // namespace zandrel
