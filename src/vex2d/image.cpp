#include "vex2d_parts.hpp"

#include <cstring>

namespace zandrel {

namespace {

struct ImageDefaults {
    ImageFlags autoFlags = ImageFlags::NoFlags;
    int autoMidHandle = 0;
    int maskRed = 0, maskGreen = 0, maskBlue = 0;
};

ImageDefaults defaults;

void CheckIndex(const TImage& image, int index) {
    if (index < 0 || index >= image.FrameCount())
        throw RuntimeError("Image frame index out of range");
}

ImageFlags ChosenFlags(ImageFlags flags) {
    return flags == ImageFlags::Auto ? defaults.autoFlags : flags;
}

Ref<TImage> WithAutoHandle(Ref<TImage> image) {
    if (image && defaults.autoMidHandle) CentreImageHandle(image);
    return image;
}

Ref<TPixmap> PixmapFrom(const Url& url) {
    if (auto pixmap = url.As<TPixmap>()) return pixmap;
    return LoadPixmap(url);
}

// Width, height, flags and mask colour, the handle, the frame count and each
// frame's pixmap as an object.
class TImageDataType : public TDataType {
public:
    String Name() override { return S("kvo.vex2d.TImage"); }

    Ref<Object> Read(TStream& stream) override {
        int fields[6];
        for (int& field : fields)
            field = stream.ReadInt();
        float handleX = stream.ReadFloat();
        float handleY = stream.ReadFloat();
        int count = stream.ReadInt();
        CheckDataLength(stream, count); // each frame takes at least one byte
        std::vector<Ref<TPixmap>> pixmaps;
        for (int i = 0; i < count; ++i) {
            if (stream.Eof()) throw RuntimeError("Image in data stream ends early");
            pixmaps.push_back(As<TPixmap>(stream.ReadObject()));
        }
        auto image = TImage::Create(fields[0], fields[1], count, static_cast<ImageFlags>(fields[2]),
                                    fields[3], fields[4], fields[5]);
        image->handleX = handleX;
        image->handleY = handleY;
        image->pixmaps = std::move(pixmaps);
        return image;
    }

    void Write(const Ref<Object>& object, TStream& stream) override {
        auto image = As<TImage>(object);
        if (!image) throw RuntimeError("Object is not an image");
        for (int field : {image->width, image->height, ToNumber(image->flags), image->maskRed,
                          image->maskGreen, image->maskBlue})
            stream.WriteInt(field);
        stream.WriteFloat(image->handleX);
        stream.WriteFloat(image->handleY);
        stream.WriteInt(image->FrameCount());
        for (auto& pixmap : image->pixmaps)
            stream.WriteObject(pixmap);
    }
};

Ref<TDataType>& ImageDataType() {
    static auto* type = new Ref<TDataType>;
    return *type;
}

} // namespace

TImage& CheckedImage(const Ref<TImage>& image) {
    if (!image) throw RuntimeError("Image is no object");
    return *image;
}

void StartImageModule() {
    static bool started = false;
    RunOnce(started, [] { ImageDataType() = New<TImageDataType>(); });
}

Ref<TDataType> TImage::DataType() {
    return ImageDataType();
}

const Ref<TImageFrame>& TImage::Frame(int index) {
    CheckIndex(*this, index);
    uint32_t seq = GraphicsSeq();
    auto& frame = frames[static_cast<size_t>(index)];
    auto& stamp = seqs[static_cast<size_t>(index)];
    if (stamp == seq && frame) return frame;
    // Stamped only once made, so that a failure is tried again on the next draw.
    frame = CurrentVex2DDriver().CreateFrame(Lock(index, LockFor::Reading), flags);
    stamp = seq;
    return frame;
}

const Ref<TPixmap>& TImage::Lock(int index, LockFor use) {
    CheckIndex(*this, index);
    auto i = static_cast<size_t>(index);
    if (use == LockFor::Changing) {
        seqs[i] = 0;
        frames[i] = nullptr;
    }
    if (!pixmaps[i]) {
        auto pixmap = CreatePixmap(width, height, PixelFormat::FormatRGBA8888, 4);
        std::memset(pixmap->Pixels(), 0, static_cast<size_t>(pixmap->Capacity()));
        pixmaps[i] = pixmap;
    }
    return pixmaps[i];
}

void TImage::SetPixmap(int index, const Ref<TPixmap>& pixmap) {
    CheckIndex(*this, index);
    auto i = static_cast<size_t>(index);
    bool hasAlpha = pixmap && IsPixelFormat(pixmap->Format()) && AlphaBits[pixmap->Format()] > 0;
    if ((flags & ImageFlags::Masked) && pixmap && !hasAlpha)
        pixmaps[i] = MaskPixmap(pixmap, maskRed, maskGreen, maskBlue);
    else
        pixmaps[i] = pixmap;
    seqs[i] = 0;
    frames[i] = nullptr;
}

Ref<TImage> TImage::Create(int width, int height, int frameCount, ImageFlags flags, int maskRed,
                           int maskGreen, int maskBlue) {
    if (width < 0 || height < 0 || frameCount < 0)
        throw RuntimeError("Image dimensions out of range");
    auto image = New<TImage>();
    image->width = width;
    image->height = height;
    image->flags = flags;
    image->maskRed = maskRed;
    image->maskGreen = maskGreen;
    image->maskBlue = maskBlue;
    auto count = static_cast<size_t>(frameCount);
    image->pixmaps.resize(count);
    image->frames.resize(count);
    image->seqs.resize(count);
    return image;
}

Ref<TImage> TImage::Load(const Url& url, ImageFlags flags, int maskRed, int maskGreen,
                         int maskBlue) {
    auto pixmap = PixmapFrom(url);
    if (!pixmap) return nullptr;
    auto image = Create(pixmap->Width(), pixmap->Height(), 1, flags, maskRed, maskGreen, maskBlue);
    image->SetPixmap(0, pixmap);
    return image;
}

Ref<TImage> TImage::LoadAnim(const Url& url, int cellWidth, int cellHeight, int firstCell,
                             int cellCount, ImageFlags flags, int maskRed, int maskGreen,
                             int maskBlue) {
    if (cellWidth <= 0 || cellHeight <= 0 || firstCell < 0 || cellCount < 0) return nullptr;
    auto pixmap = PixmapFrom(url);
    if (!pixmap) return nullptr;
    int across = pixmap->Width() / cellWidth, down = pixmap->Height() / cellHeight;
    if (int64_t{firstCell} + cellCount > int64_t{across} * down) return nullptr;
    auto image = Create(cellWidth, cellHeight, cellCount, flags, maskRed, maskGreen, maskBlue);
    for (int i = firstCell; i < firstCell + cellCount; ++i) {
        int x = cellWidth * (i % across), y = cellHeight * (i / across);
        image->SetPixmap(i - firstCell, pixmap->Window(x, y, cellWidth, cellHeight)->Copy());
    }
    return image;
}

Ref<TImage> LoadImage(const Url& url, ImageFlags flags) {
    return WithAutoHandle(TImage::Load(url, ChosenFlags(flags), defaults.maskRed,
                                       defaults.maskGreen, defaults.maskBlue));
}

Ref<TImage> LoadAnimImage(const Url& url, int cellWidth, int cellHeight, int firstCell,
                          int cellCount, ImageFlags flags) {
    return WithAutoHandle(TImage::LoadAnim(url, cellWidth, cellHeight, firstCell, cellCount,
                                           ChosenFlags(flags), defaults.maskRed, defaults.maskGreen,
                                           defaults.maskBlue));
}

Ref<TImage> CreateImage(int width, int height, int frameCount, ImageFlags flags) {
    return WithAutoHandle(TImage::Create(width, height, frameCount,
                                         ChosenFlags(flags) | ImageFlags::Dynamic, defaults.maskRed,
                                         defaults.maskGreen, defaults.maskBlue));
}

void GrabImage(const Ref<TImage>& image, int x, int y, int frame) {
    auto& i = CheckedImage(image);
    auto pixmap = CurrentVex2DDriver().GrabPixmap(x, y, i.width, i.height);
    if (i.flags & ImageFlags::Masked)
        pixmap = MaskPixmap(pixmap, defaults.maskRed, defaults.maskGreen, defaults.maskBlue);
    i.SetPixmap(frame, pixmap);
}

void CopyToImage(const Ref<TImage>& image, int x, int y, int width, int height, int frame) {
    auto& s = CurrentVex2D();
    auto& i = CheckedImage(image);
    const auto& into = i.Frame(frame);
    if (width > i.width || height > i.height)
        throw RuntimeError("Copy rectangle larger than the image");
    if (s.renderTarget == image && s.renderTargetFrame == frame)
        throw RuntimeError("Image cannot be copied into itself");
    if (width <= 0 || height <= 0) return;
    s.driver->CopyToFrame(into, x, y, width, height);
}

void TVex2DDriver::CopyToFrame(const Ref<TImageFrame>&, int, int, int, int) {
    throw RuntimeError("This 2D driver cannot copy into images");
}

void CentreImageHandle(const Ref<TImage>& image) {
    auto& i = CheckedImage(image);
    SetImageHandle(image, static_cast<float>(i.width) * 0.5f, static_cast<float>(i.height) * 0.5f);
}

void SetImageHandle(const Ref<TImage>& image, float x, float y) {
    auto& i = CheckedImage(image);
    i.handleX = x;
    i.handleY = y;
}

int ImageWidth(const Ref<TImage>& image) {
    return CheckedImage(image).width;
}

int ImageHeight(const Ref<TImage>& image) {
    return CheckedImage(image).height;
}

const Ref<TPixmap>& LockImage(const Ref<TImage>& image, int frame, LockFor use) {
    return CheckedImage(image).Lock(frame, use);
}

void UnlockImage(const Ref<TImage>&, int) {}

void SetMaskColor(int red, int green, int blue) {
    defaults.maskRed = red;
    defaults.maskGreen = green;
    defaults.maskBlue = blue;
}

void GetMaskColor(int& red, int& green, int& blue) {
    red = defaults.maskRed;
    green = defaults.maskGreen;
    blue = defaults.maskBlue;
}

void SetAutoMidHandle(bool on) {
    defaults.autoMidHandle = on;
}

void AutoImageFlags(ImageFlags flags) {
    if (flags != ImageFlags::Auto) defaults.autoFlags = flags;
}

ImageFlags GetAutoImageFlags() {
    return defaults.autoFlags;
}

} // namespace zandrel
