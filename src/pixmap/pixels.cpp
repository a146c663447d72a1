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

// Three-byte colour with red at byte R and blue at byte B, to RGBA and back.
template <int R, int B> void ExpandColour(const Byte* in, Byte* out, int count) {
    for (int i = 0; i < count; ++i, in += 3, out += 4) {
        out[0] = in[R];
        out[1] = in[1];
        out[2] = in[B];
        out[3] = 255;
    }
}

template <int R, int B> void ReduceColour(const Byte* in, Byte* out, int count) {
    for (int i = 0; i < count; ++i, in += 4, out += 3) {
        out[R] = in[0];
        out[1] = in[1];
        out[B] = in[2];
    }
}

// One byte to RGBA: grey to all three colours, or alpha under white.
template <bool Alpha> void ExpandSingle(const Byte* in, Byte* out, int count) {
    for (int i = 0; i < count; ++i, out += 4) {
        Byte colour = Alpha ? 255 : in[i];
        out[0] = colour;
        out[1] = colour;
        out[2] = colour;
        out[3] = Alpha ? in[i] : 255;
    }
}

void ExpandToRGBA(const Byte* in, PixelFormat format, Byte* out, int count) {
    switch (format) {
    case PixelFormat::FormatI8:
        return ExpandSingle<false>(in, out, count);
    case PixelFormat::FormatA8:
        return ExpandSingle<true>(in, out, count);
    case PixelFormat::FormatBGR888:
        return ExpandColour<2, 0>(in, out, count);
    case PixelFormat::FormatRGB888:
        return ExpandColour<0, 2>(in, out, count);
    case PixelFormat::FormatBGRA8888:
        return SwapRedAndBlue(in, out, count);
    default:
        return;
    }
}

void ReduceFromRGBA(const Byte* in, Byte* out, PixelFormat format, int count) {
    switch (format) {
    case PixelFormat::FormatI8:
        for (int i = 0; i < count; ++i, in += 4)
            out[i] = static_cast<Byte>((in[0] + in[1] + in[2]) / 3);
        return;
    case PixelFormat::FormatA8:
        for (int i = 0; i < count; ++i, in += 4)
            out[i] = in[3];
        return;
    case PixelFormat::FormatBGR888:
        return ReduceColour<2, 0>(in, out, count);
    case PixelFormat::FormatRGB888:
        return ReduceColour<0, 2>(in, out, count);
    case PixelFormat::FormatBGRA8888:
        return SwapRedAndBlue(in, out, count);
    default:
        return;
    }
}

// Two formats that both differ from the pivot meet in a small stack buffer,
// a slice at a time, so that no conversion allocates.
void ConvertThroughPivot(const Byte* in, PixelFormat sourceFormat, Byte* out,
                         PixelFormat destinationFormat, int count) {
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

int64_t PixmapPitchFor(int64_t width, PixelFormat format, int align) {
    if (align < 1) align = 1;
    int bytes = IsPixelFormat(format) ? BytesPerPixel[format] : 0;
    return (width * bytes + align - 1) / align * align;
}

bool PixmapFits(int64_t width, int64_t height, PixelFormat format) {
    if (width <= 0 || height <= 0 || !IsPixelFormat(format)) return false;
    if (width > MaxPixmapBytes || height > MaxPixmapBytes) return false;
    return PixmapPitchFor(width, format, 4) * height <= MaxPixmapBytes;
}

void CopyPixels(const void* source, void* destination, PixelFormat format, int count) {
    if (!IsPixelFormat(format) || count <= 0) return;
    std::memmove(destination, source, static_cast<size_t>(count) * BytesPerPixel[format]);
}

void ConvertPixels(const void* source, PixelFormat sourceFormat, void* destination,
                   PixelFormat destinationFormat, int count) {
    if (!IsPixelFormat(sourceFormat) || !IsPixelFormat(destinationFormat) || count <= 0) return;
    const auto* in = static_cast<const Byte*>(source);
    auto* out = static_cast<Byte*>(destination);
    if (sourceFormat == destinationFormat)
        CopyPixels(in, out, sourceFormat, count);
    else if (destinationFormat == PixelFormat::FormatRGBA8888)
        ExpandToRGBA(in, sourceFormat, out, count);
    else if (sourceFormat == PixelFormat::FormatRGBA8888)
        ReduceFromRGBA(in, out, destinationFormat, count);
    else
        ConvertThroughPivot(in, sourceFormat, out, destinationFormat, count);
}

} // namespace zandrel
