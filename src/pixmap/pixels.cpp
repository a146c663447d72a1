#include <zandrel/pixmap.hpp>

#include <bit>
#include <cstring>

namespace zandrel {

namespace {

using Byte = uint8_t;

// BGRA to RGBA and back are the same exchange of bytes 0 and 2; done on whole
// words so that the compiler can vectorise it.
static_assert(std::endian::native == std::endian::little, "byte order of pixel words");
void SwapRedAndBlue(const Byte* in, Byte* out, int count) {
    for (int i = 0; i < count; ++i) {
        uint32_t v;
        std::memcpy(&v, in + i * 4, 4);
        v = (v & 0xFF00FF00u) | ((v >> 16) & 0xFFu) | ((v & 0xFFu) << 16);
        std::memcpy(out + i * 4, &v, 4);
    }
}

void ExpandToRGBA(const Byte* in, int format, Byte* out, int count) {
    switch (format) {
    case FormatI8:
        for (int i = 0; i < count; ++i, out += 4) {
            Byte v = in[i];
            out[0] = v;
            out[1] = v;
            out[2] = v;
            out[3] = 255;
        }
        break;
    case FormatA8:
        for (int i = 0; i < count; ++i, out += 4) {
            out[0] = 255;
            out[1] = 255;
            out[2] = 255;
            out[3] = in[i];
        }
        break;
    case FormatBGR888:
        for (int i = 0; i < count; ++i, in += 3, out += 4) {
            out[0] = in[2];
            out[1] = in[1];
            out[2] = in[0];
            out[3] = 255;
        }
        break;
    case FormatRGB888:
        for (int i = 0; i < count; ++i, in += 3, out += 4) {
            out[0] = in[0];
            out[1] = in[1];
            out[2] = in[2];
            out[3] = 255;
        }
        break;
    case FormatBGRA8888:
        SwapRedAndBlue(in, out, count);
        break;
    default:
        break;
    }
}

void ReduceFromRGBA(const Byte* in, Byte* out, int format, int count) {
    switch (format) {
    case FormatI8:
        for (int i = 0; i < count; ++i, in += 4)
            out[i] = static_cast<Byte>((in[0] + in[1] + in[2]) / 3);
        break;
    case FormatA8:
        for (int i = 0; i < count; ++i, in += 4)
            out[i] = in[3];
        break;
    case FormatBGR888:
        for (int i = 0; i < count; ++i, in += 4, out += 3) {
            out[0] = in[2];
            out[1] = in[1];
            out[2] = in[0];
        }
        break;
    case FormatRGB888:
        for (int i = 0; i < count; ++i, in += 4, out += 3) {
            out[0] = in[0];
            out[1] = in[1];
            out[2] = in[2];
        }
        break;
    case FormatBGRA8888:
        SwapRedAndBlue(in, out, count);
        break;
    default:
        break;
    }
}

// Two formats that both differ from the pivot meet in a small stack buffer,
// a slice at a time, so that no conversion allocates.
void ConvertThroughPivot(const Byte* in, int sourceFormat, Byte* out, int destinationFormat,
                         int count) {
    constexpr int slice = 256;
    Byte pivot[slice * 4];
    while (count > 0) {
        int n = count < slice ? count : slice;
        ExpandToRGBA(in, sourceFormat, pivot, n);
        ReduceFromRGBA(pivot, out, destinationFormat, n);
        in += n * BytesPerPixel[sourceFormat];
        out += n * BytesPerPixel[destinationFormat];
        count -= n;
    }
}

} // namespace

int64_t PixmapPitchFor(int64_t width, int format, int align) {
    if (align < 1) align = 1;
    int bytes = IsPixelFormat(format) ? BytesPerPixel[format] : 0;
    return (width * bytes + align - 1) / align * align;
}

bool PixmapFits(int64_t width, int64_t height, int format) {
    if (width <= 0 || height <= 0 || !IsPixelFormat(format)) return false;
    if (width > MaxPixmapBytes || height > MaxPixmapBytes) return false;
    return PixmapPitchFor(width, format, 4) * height <= MaxPixmapBytes;
}

void CopyPixels(const void* source, void* destination, int format, int count) {
    if (!IsPixelFormat(format) || count <= 0) return;
    std::memmove(destination, source, static_cast<size_t>(count) * BytesPerPixel[format]);
}

void ConvertPixels(const void* source, int sourceFormat, void* destination, int destinationFormat,
                   int count) {
    if (!IsPixelFormat(sourceFormat) || !IsPixelFormat(destinationFormat) || count <= 0) return;
    const auto* in = static_cast<const Byte*>(source);
    auto* out = static_cast<Byte*>(destination);
    if (sourceFormat == destinationFormat)
        CopyPixels(in, out, sourceFormat, count);
    else if (destinationFormat == FormatRGBA8888)
        ExpandToRGBA(in, sourceFormat, out, count);
    else if (sourceFormat == FormatRGBA8888)
        ReduceFromRGBA(in, out, destinationFormat, count);
    else
        ConvertThroughPivot(in, sourceFormat, out, destinationFormat, count);
}

} // namespace zandrel
