#include "pixmap_private.hpp"

#include <climits>
#include <cstdlib>

namespace zandrel {

TPixmap::~TPixmap() {
    if (capacity_ >= 0) std::free(pixels_);
}

Ref<TDataType> TPixmap::DataType() {
    return PixmapDataType();
}

uint8_t* TPixmap::PixelPtr(int x, int y) const {
    return pixels_ + static_cast<ptrdiff_t>(y) * pitch_ +
           static_cast<ptrdiff_t>(x) * (IsPixelFormat(format_) ? BytesPerPixel[format_] : 0);
}

Ref<TPixmap> TPixmap::Window(int x, int y, int width, int height) {
    return CreateStatic(PixelPtr(x, y), width, height, pitch_, format_);
}

Ref<TPixmap> TPixmap::Copy() {
    auto copy = Create(width_, height_, format_, 4);
    for (int y = 0; y < height_; ++y)
        CopyPixels(PixelPtr(0, y), copy->PixelPtr(0, y), format_, width_);
    return copy;
}

void TPixmap::Paste(const Ref<TPixmap>& source, int x, int y) {
    for (int i = 0; i < source->height_; ++i)
        ConvertPixels(source->PixelPtr(0, i), source->format_, PixelPtr(x, y + i), format_,
                      source->width_);
}

Ref<TPixmap> TPixmap::Convert(PixelFormat format) {
    auto result = Create(width_, height_, format, 4);
    for (int y = 0; y < height_; ++y)
        ConvertPixels(PixelPtr(0, y), format_, result->PixelPtr(0, y), format, width_);
    return result;
}

uint32_t TPixmap::ReadPixel(int x, int y) const {
    const uint8_t* p = PixelPtr(x, y);
    switch (format_) {
    case PixelFormat::FormatI8:
        return 0xFF000000u + p[0] * 0x10101u;
    case PixelFormat::FormatA8:
        return p[0] * 0x1000000u + 0xFFFFFFu;
    case PixelFormat::FormatBGR888:
        return ARGB(255, p[2], p[1], p[0]);
    case PixelFormat::FormatRGB888:
        return ARGB(255, p[0], p[1], p[2]);
    case PixelFormat::FormatBGRA8888:
        return ARGB(p[3], p[2], p[1], p[0]);
    case PixelFormat::FormatRGBA8888:
        return ARGB(p[3], p[0], p[1], p[2]);
    default:
        return 0;
    }
}

void TPixmap::WritePixel(int x, int y, uint32_t argb) {
    uint8_t rgba[4] = {RedOf(argb), GreenOf(argb), BlueOf(argb), AlphaOf(argb)};
    ConvertPixels(rgba, PixelFormat::FormatRGBA8888, PixelPtr(x, y), format_, 1);
}

Ref<TPixmap> TPixmap::Create(int width, int height, PixelFormat format, int align) {
    int64_t pitch = PixmapPitchFor(width, format, align);
    int64_t capacity = pitch * height;
    if (width < 0 || height < 0 || pitch > INT_MAX || capacity > INT_MAX)
        throw RuntimeError("Pixmap dimensions out of range");
    auto pixmap = New<TPixmap>();
    // malloc(0) may give no block; a block of one byte keeps Pixels() valid.
    pixmap->pixels_ = static_cast<uint8_t*>(std::malloc(capacity > 0 ? capacity : 1));
    if (!pixmap->pixels_) throw RuntimeError("Out of memory creating pixmap");
    pixmap->width_ = width;
    pixmap->height_ = height;
    pixmap->pitch_ = static_cast<int>(pitch);
    pixmap->format_ = format;
    pixmap->capacity_ = static_cast<int>(capacity);
    return pixmap;
}

Ref<TPixmap> TPixmap::CreateStatic(void* pixels, int width, int height, int pitch,
                                   PixelFormat format) {
    auto pixmap = New<TPixmap>();
    pixmap->pixels_ = static_cast<uint8_t*>(pixels);
    pixmap->width_ = width;
    pixmap->height_ = height;
    pixmap->pitch_ = pitch;
    pixmap->format_ = format;
    pixmap->capacity_ = -1;
    return pixmap;
}

Ref<TPixmap> CreatePixmap(int width, int height, PixelFormat format, int align) {
    return TPixmap::Create(width, height, format, align);
}
Ref<TPixmap> CreateStaticPixmap(void* pixels, int width, int height, int pitch,
                                PixelFormat format) {
    return TPixmap::CreateStatic(pixels, width, height, pitch, format);
}
Ref<TPixmap> CopyPixmap(const Ref<TPixmap>& pixmap) {
    return pixmap->Copy();
}
Ref<TPixmap> ConvertPixmap(const Ref<TPixmap>& pixmap, PixelFormat format) {
    return pixmap->Convert(format);
}
uint8_t* PixmapPixelPtr(const Ref<TPixmap>& pixmap, int x, int y) {
    return pixmap->PixelPtr(x, y);
}
Ref<TPixmap> PixmapWindow(const Ref<TPixmap>& pixmap, int x, int y, int width, int height) {
    return pixmap->Window(x, y, width, height);
}
uint32_t ReadPixel(const Ref<TPixmap>& pixmap, int x, int y) {
    return pixmap->ReadPixel(x, y);
}
void WritePixel(const Ref<TPixmap>& pixmap, int x, int y, uint32_t argb) {
    pixmap->WritePixel(x, y, argb);
}
int PixmapWidth(const Ref<TPixmap>& pixmap) {
    return pixmap->Width();
}
int PixmapHeight(const Ref<TPixmap>& pixmap) {
    return pixmap->Height();
}
int PixmapPitch(const Ref<TPixmap>& pixmap) {
    return pixmap->Pitch();
}
PixelFormat PixmapFormat(const Ref<TPixmap>& pixmap) {
    return pixmap->Format();
}

} // namespace zandrel
