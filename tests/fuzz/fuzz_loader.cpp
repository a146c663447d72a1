// Feeds arbitrary bytes to one pixmap loader (chosen by FUZZED_LOADER) and
// converts what it returns, so that every row of the result is touched.
#include "pixmap/pixmap_private.hpp"

#include <zandrel/zandrel.hpp>

#include <cstdint>

using namespace zandrel;

constexpr int64_t convertLimit = 16 << 20;

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    StartZandrel();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static FUZZED_LOADER loader;
    if (size > (1u << 24)) return 0;
    auto stream =
        CreateMemoryStream(const_cast<uint8_t*>(data), static_cast<int>(size), true, false);
    try {
        if (auto pixmap = loader.LoadPixmap(stream)) {
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
