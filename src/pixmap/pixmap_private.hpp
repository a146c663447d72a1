// What the pixmap module's files share and the tests may look at.
#pragma once

#include <zandrel/pixmap.hpp>

#include <exception>

namespace zandrel {

constexpr uint32_t ARGB(uint32_t a, uint32_t r, uint32_t g, uint32_t b) {
    return a << 24 | r << 16 | g << 8 | b;
}
constexpr uint8_t AlphaOf(uint32_t argb) {
    return static_cast<uint8_t>(argb >> 24);
}
constexpr uint8_t RedOf(uint32_t argb) {
    return static_cast<uint8_t>(argb >> 16);
}
constexpr uint8_t GreenOf(uint32_t argb) {
    return static_cast<uint8_t>(argb >> 8);
}
constexpr uint8_t BlueOf(uint32_t argb) {
    return static_cast<uint8_t>(argb);
}

// The data type made when the module starts.
const Ref<TDataType>& PixmapDataType();
void StartPixmapDataType();

// Loaders read with ReadUpTo and ReadExactly (stream module), never
// ReadBytes: a short read must not leave stale bytes in a buffer that is then
// decoded as image data.

// A loader's pixmap, rows aligned to 4 bytes; no object when the image is
// empty, larger than MaxPixmapBytes or its memory cannot be had.
Ref<TPixmap> CreateImagePixmap(int64_t width, int64_t height, PixelFormat format);

// False when the stream knows its size and fewer than count bytes are left:
// a few bytes of header must not make a loader allocate a huge pixmap for
// data that is not there.
bool MayHoldBytes(TStream& stream, int64_t count);

// Little-endian fields of a file header.
inline int LittleUint16(const uint8_t* p) {
    return p[0] | p[1] << 8;
}
inline int32_t LittleInt32(const uint8_t* p) {
    return static_cast<int32_t>(static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
                                static_cast<uint32_t>(p[2]) << 16 |
                                static_cast<uint32_t>(p[3]) << 24);
}

// Runs a callback of a C library: an exception it throws is kept for after the
// library has unwound through its own error path, because no exception may
// pass through the library's frames. False when it threw.
template <class Body> bool HoldException(std::exception_ptr& held, Body&& body) noexcept {
    try {
        body();
        return true;
    } catch (...) {
        held = std::current_exception();
        return false;
    }
}

// The stream a C library's read or write callback reaches through its context
// pointer, and the exception the callback kept until the library is out.
struct StreamLink {
    TStream* stream;
    std::exception_ptr held;
};

class TPixmapLoaderBMP : public TPixmapLoader {
public:
    Ref<TPixmap> LoadPixmap(const Ref<TStream>& stream) override;
};

class TPixmapLoaderJPG : public TPixmapLoader {
public:
    Ref<TPixmap> LoadPixmap(const Ref<TStream>& stream) override;
};

class TPixmapLoaderPNG : public TPixmapLoader {
public:
    Ref<TPixmap> LoadPixmap(const Ref<TStream>& stream) override;
};

class TPixmapLoaderTGA : public TPixmapLoader {
public:
    Ref<TPixmap> LoadPixmap(const Ref<TStream>& stream) override;
};

} // namespace zandrel
