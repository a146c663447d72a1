#include "jpeg_glue.hpp"
#include "pixmap_private.hpp"

namespace zandrel {

namespace {

// What the glue's read and write functions reach through their stream
// argument: the stream, and an exception kept until the library is out.
struct StreamLink {
    TStream* stream;
    std::exception_ptr held;
};

size_t ReadFromStream(void* buffer, size_t size, size_t count, void* context) {
    auto& link = *static_cast<StreamLink*>(context);
    int n = 0;
    HoldException(link.held,
                  [&] { n = ReadUpTo(*link.stream, buffer, static_cast<int>(size * count)); });
    return static_cast<size_t>(n) / size;
}

size_t WriteToStream(const void* buffer, size_t size, size_t count, void* context) {
    auto& link = *static_cast<StreamLink*>(context);
    bool written = HoldException(
        link.held, [&] { link.stream->WriteBytes(buffer, static_cast<int>(size * count)); });
    return written ? count : 0;
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

void RethrowHeld(const StreamLink& link) {
    if (link.held) std::rethrow_exception(link.held);
}

} // namespace

Ref<TPixmap> TPixmapLoaderJPG::LoadPixmap(const Ref<TStream>& stream) {
    auto view = OpenReadStream(stream);
    if (!view) return nullptr;
    StreamLink link{view.get(), nullptr};
    PixmapTarget target;
    int result = JpegDecodeInto(&link, ReadFromStream, {&target, PixmapRows});
    view->Close();
    RethrowHeld(link);
    return result == 0 ? target.pixmap : nullptr;
}

// A save that fails leaves its stream unclosed, so that an existing file is
// not replaced (see OpenSaveStream).
bool SavePixmapJPEG(const Ref<TPixmap>& pixmap, const Url& url, int quality) {
    auto stream = OpenSaveStream(url);
    if (!stream) return false;
    auto rgb = pixmap->Format() == PixelFormat::FormatRGB888
                   ? pixmap
                   : pixmap->Convert(PixelFormat::FormatRGB888);
    StreamLink link{stream.get(), nullptr};
    int result = JpegEncode(&link, WriteToStream, rgb->Width(), rgb->Height(), rgb->Pitch(),
                            rgb->Pixels(), quality);
    try {
        RethrowHeld(link);
    } catch (const TStreamError&) {
        return false;
    }
    return result == 0 && stream->Close() == 0;
}

} // namespace zandrel
