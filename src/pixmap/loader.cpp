#include "pixmap_private.hpp"
#include <zandrel/system.hpp>

namespace zandrel {

Ref<TPixmap> TPixmapLoader::LoadPixmap(const Ref<TStream>&) {
    ThrowAbstract();
}

TPixmapLoader* FirstPixmapLoader() {
    return Registered<TPixmapLoader>::First();
}

Ref<TPixmap> LoadPixmap(const Url& url) {
    auto stream = OpenReadStream(url);
    if (!stream) return nullptr;
    Ref<TPixmap> pixmap;
    int start = stream->Pos();
    if (start >= 0) {
        for (auto* loader = FirstPixmapLoader(); loader && !pixmap; loader = loader->Next()) {
            try {
                if (stream->Seek(start) != start) break;
                pixmap = loader->LoadPixmap(stream);
            } catch (const TStreamError&) {
            }
        }
    }
    stream->Close();
    if (!pixmap) RefusedAs("a PNG, JPEG, BMP or TGA file");
    return pixmap;
}

Ref<TPixmap> CreateImagePixmap(int64_t width, int64_t height, PixelFormat format) {
    if (!PixmapFits(width, height, format)) return nullptr;
    try {
        return CreatePixmap(static_cast<int>(width), static_cast<int>(height), format, 4);
    } catch (const RuntimeError&) {
        return nullptr;
    }
}

bool MayHoldBytes(TStream& stream, int64_t count) {
    int pos = stream.Pos();
    return pos < 0 || int64_t{stream.Size()} - pos >= count;
}

// The try order is the reverse: TGA, PNG, JPEG, BMP.
void StartPixmapModule() {
    static bool started = false;
    RunOnce(started, [] {
        StartStreamModule();
        StartSystemModule();
        StartPixmapDataType();
        new TPixmapLoaderBMP;
        new TPixmapLoaderJPG;
        new TPixmapLoaderPNG;
        new TPixmapLoaderTGA;
    });
}

} // namespace zandrel
