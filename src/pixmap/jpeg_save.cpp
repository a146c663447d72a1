#include "jpeg_glue.hpp"
#include "pixmap_private.hpp"

namespace zandrel {

namespace {

size_t WriteToStream(const void* buffer, size_t size, size_t count, void* context) {
    auto& link = *static_cast<StreamLink*>(context);
    bool written = HoldException(
        link.held, [&] { link.stream->WriteBytes(buffer, static_cast<int>(size * count)); });
    return written ? count : 0;
}

} // namespace

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
        if (link.held) std::rethrow_exception(link.held);
    } catch (const TStreamError&) {
        return false;
    }
    return result == 0 && stream->Close();
}

} // namespace zandrel
