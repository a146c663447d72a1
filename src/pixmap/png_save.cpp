#include "png_session.hpp"

namespace zandrel {

namespace {

using namespace png_io;

void WriteCallback(png_structp png, png_bytep data, size_t length) {
    auto& session = SessionOf(png);
    if (!HoldException(session.held,
                       [&] { session.stream->WriteBytes(data, static_cast<int>(length)); }))
        png_error(png, "write");
}

void FlushCallback(png_structp png) {
    auto& session = SessionOf(png);
    bool flushed = false;
    HoldException(session.held, [&] { flushed = session.stream->Flush(); });
    if (!flushed) png_error(png, "flush");
}

// Holds no object with a destructor: libpng's errors leave it by longjmp.
bool WriteImage(PngSession& s, png_bytepp rows, int width, int height, int colourType,
                int transforms, int compression) {
    if (setjmp(png_jmpbuf(s.png))) return false;
    png_set_compression_level(s.png, compression);
    png_set_IHDR(s.png, s.info, width, height, 8, colourType, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_set_rows(s.png, s.info, rows);
    png_write_png(s.png, s.info, transforms, nullptr);
    return true;
}

// libpng's colour type and transforms for a format; A8 has no PNG form and
// is written through RGBA.
void ChoosePngLayout(PixelFormat format, int& colourType, int& transforms) {
    transforms = PNG_TRANSFORM_IDENTITY;
    switch (format) {
    case PixelFormat::FormatI8:
        colourType = PNG_COLOR_TYPE_GRAY;
        break;
    case PixelFormat::FormatBGR888:
        transforms = PNG_TRANSFORM_BGR;
        [[fallthrough]];
    case PixelFormat::FormatRGB888:
        colourType = PNG_COLOR_TYPE_RGB;
        break;
    case PixelFormat::FormatBGRA8888:
        transforms = PNG_TRANSFORM_BGR;
        [[fallthrough]];
    default:
        colourType = PNG_COLOR_TYPE_RGB_ALPHA;
        break;
    }
}

bool EncodePng(PngSession& s, TPixmap& pixmap, int compression) {
    int colourType = 0, transforms = 0;
    ChoosePngLayout(pixmap.Format(), colourType, transforms);
    auto rows = RowPointers(pixmap);
    s.png = png_create_write_struct(PNG_LIBPNG_VER_STRING, &s, JumpOnError, IgnoreWarning);
    if (s.png) s.info = png_create_info_struct(s.png);
    bool written = false;
    if (s.info) {
        png_set_write_fn(s.png, &s, WriteCallback, FlushCallback);
        written = WriteImage(s, rows.data(), pixmap.Width(), pixmap.Height(), colourType,
                             transforms, compression);
    }
    png_destroy_write_struct(&s.png, &s.info);
    return written;
}

} // namespace

// A save that fails leaves its stream unclosed, so that an existing file is
// not replaced (see OpenSaveStream).
bool SavePixmapPNG(const Ref<TPixmap>& pixmap, const Url& url, int compression) {
    auto stream = OpenSaveStream(url);
    if (!stream) return false;
    bool pngLayout = pixmap->Format() != PixelFormat::FormatA8 && IsPixelFormat(pixmap->Format());
    auto source = pngLayout ? pixmap : pixmap->Convert(PixelFormat::FormatRGBA8888);
    PngSession s;
    s.stream = stream.get();
    bool written = EncodePng(s, *source, compression);
    if (s.held) {
        try {
            std::rethrow_exception(s.held);
        } catch (const TStreamError&) {
            return false;
        }
    }
    return written && stream->Close();
}

} // namespace zandrel
