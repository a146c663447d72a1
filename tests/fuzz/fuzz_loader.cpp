// Feeds arbitrary bytes to one pixmap loader (chosen by FUZZED_LOADER) and
// converts what it returns, so that every row of the result is touched. With
// FUZZED_JPEG_GLUE the plain decoding call must give the loader's pixels.
#include "pixmap/pixmap_private.hpp"
#ifdef FUZZED_JPEG_GLUE
#include "pixmap/jpeg_glue.hpp"
#endif

#include <zandrel/zandrel.hpp>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>

using namespace zandrel;

constexpr int64_t convertLimit = 16 << 20;

#ifdef FUZZED_JPEG_GLUE
namespace {

struct Bytes {
    const uint8_t* data;
    size_t left;
};

size_t ReadBytes(void* buffer, size_t size, size_t count, void* context) {
    auto& bytes = *static_cast<Bytes*>(context);
    size_t n = std::min(size * count, bytes.left) / size;
    if (n > 0) std::memcpy(buffer, bytes.data, n * size);
    bytes.data += n * size;
    bytes.left -= n * size;
    return n;
}

void CheckPlainDecode(const uint8_t* data, size_t size, const TPixmap& pixmap) {
    Bytes bytes{data, size};
    int width = 0, height = 0, components = 0;
    unsigned char* pixels = nullptr;
    if (JpegDecode(&bytes, ReadBytes, &width, &height, &components, &pixels) != 0) __builtin_trap();
    int rowBytes = width * components;
    if (width != pixmap.Width() || height != pixmap.Height() ||
        rowBytes != width * BytesPerPixel[pixmap.Format()])
        __builtin_trap();
    for (int y = 0; y < height; ++y)
        if (std::memcmp(pixels + static_cast<size_t>(y) * rowBytes, pixmap.PixelPtr(0, y),
                        rowBytes) != 0)
            __builtin_trap();
    std::free(pixels);
}

} // namespace
#endif

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    StartZandrel();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static FUZZED_LOADER loader;
    if (size > (1u << 24)) return 0;
    auto stream =
        CreateMemoryStream(const_cast<uint8_t*>(data), static_cast<int>(size), FileMode::Read);
    try {
        if (auto pixmap = loader.LoadPixmap(stream)) {
#ifdef FUZZED_JPEG_GLUE
            CheckPlainDecode(data, size, *pixmap);
#endif
            // A few bytes may rightly describe a large image; converting
            // that too would only measure the allocator.
            bool small = int64_t{pixmap->Pitch()} * pixmap->Height() <= convertLimit;
            auto checked = small ? pixmap->Convert(PixelFormat::FormatRGBA8888) : pixmap;
            volatile uint32_t sink = 0;
            for (int y = 0; y < checked->Height(); ++y)
                sink = sink + checked->ReadPixel(checked->Width() - 1, y);
        }
    } catch (const TStreamError&) {
        // A refusal, as LoadPixmap treats it.
    }
    return 0;
}
