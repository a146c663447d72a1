#include "jpeg_glue.hpp"
#include "pixmap_private.hpp"

namespace zandrel {

namespace {

size_t ReadFromStream(void* buffer, size_t size, size_t count, void* context) {
    auto& link = *static_cast<StreamLink*>(context);
    int n = 0;
    HoldException(link.held,
                  [&] { n = ReadUpTo(*link.stream, buffer, static_cast<int>(size * count)); });
    return static_cast<size_t>(n) / size;
}

struct PixmapTarget {
    Ref<TPixmap> pixmap;
};

// One component is grey, three are RGB; anything else (CMYK) is refused.
unsigned char* PixmapRows(void* context, int width, int height, int components, int* pitch) {
    auto& target = *static_cast<PixmapTarget*>(context);
    PixelFormat format = components == 1   ? PixelFormat::FormatI8
                         : components == 3 ? PixelFormat::FormatRGB888
                                           : PixelFormat::FormatNone;
    try {
        target.pixmap = CreateImagePixmap(width, height, format);
    } catch (...) {
        return nullptr; // nothing may unwind into the library
    }
    if (!target.pixmap) return nullptr;
    *pitch = target.pixmap->Pitch();
    return target.pixmap->Pixels();
}

} // namespace

Ref<TPixmap> TPixmapLoaderJPG::LoadPixmap(const Ref<TStream>& stream) {
    auto view = OpenReadStream(stream);
    if (!view) return nullptr;
    StreamLink link{view.get(), nullptr};
    PixmapTarget target;
    int result = JpegDecodeInto(&link, ReadFromStream, {&target, PixmapRows});
    view->Close();
    if (link.held) std::rethrow_exception(link.held);
    return result == 0 ? target.pixmap : nullptr;
}

} // namespace zandrel
