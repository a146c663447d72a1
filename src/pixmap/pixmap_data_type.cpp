#include "pixmap_private.hpp"

namespace zandrel {

namespace {

// Within the limit the loaders use; an empty pixmap (no columns or no rows)
// is allowed, and its rows cost nothing to read.
bool RecordFits(int width, int height, PixelFormat format) {
    if (!IsPixelFormat(format) || width < 0 || height < 0) return false;
    if (width > MaxPixmapBytes || height > MaxPixmapBytes) return false;
    return PixmapPitchFor(width, format, 4) * height <= MaxPixmapBytes;
}

// Width, height and format, then the rows without their padding.
class TPixmapDataType : public TDataType {
public:
    String Name() override { return S("KVO.Pixmap.TPixmap"); }

    Ref<Object> Read(TStream& stream) override {
        int width = stream.ReadInt();
        int height = stream.ReadInt();
        auto format = static_cast<PixelFormat>(stream.ReadInt());
        if (!RecordFits(width, height, format))
            throw RuntimeError("Pixmap in data stream has bad dimensions or format");
        int64_t rowBytes = int64_t{width} * BytesPerPixel[format];
        CheckDataLength(stream, rowBytes * height);
        auto pixmap = CreatePixmap(width, height, format, 4);
        if (rowBytes > 0)
            for (int y = 0; y < height; ++y)
                ReadExactly(stream, pixmap->PixelPtr(0, y), static_cast<int>(rowBytes));
        return pixmap;
    }

    void Write(const Ref<Object>& object, TStream& stream) override {
        auto pixmap = As<TPixmap>(object);
        PixelFormat format = pixmap->Format();
        stream.WriteInt(pixmap->Width());
        stream.WriteInt(pixmap->Height());
        stream.WriteInt(ToNumber(format));
        int rowBytes = IsPixelFormat(format) ? pixmap->Width() * BytesPerPixel[format] : 0;
        // Rows of no bytes cost nothing to write, however many there are.
        if (rowBytes > 0)
            for (int y = 0; y < pixmap->Height(); ++y)
                stream.WriteBytes(pixmap->PixelPtr(0, y), rowBytes);
    }
};

Ref<TDataType> pixmapDataType;

} // namespace

const Ref<TDataType>& PixmapDataType() {
    return pixmapDataType;
}

void StartPixmapDataType() {
    pixmapDataType = New<TPixmapDataType>();
}

} // namespace zandrel
