// Pixmaps: rectangles of pixels in main memory in one of six formats, their
// conversion, masking, flipping and resizing, and the image loaders (PNG,
// JPEG, BMP, TGA) and writers (PNG, JPEG). Extension point: pixmap loaders
// (TPixmapLoader). StartPixmapModule() registers the loaders and the pixmap
// data type (StartZandrel() calls it). Threads: main thread; a pixmap that no
// other thread touches may be converted or loaded on any thread.
#pragma once

#include <zandrel/stream.hpp>

namespace zandrel {

// Starts the stream and system modules, the pixmap data type and the BMP, JPEG,
// PNG and TGA loaders; later calls do nothing.
void StartPixmapModule();

// ---------------------------------------------------------------------------
// Pixel formats

// Memory order of one pixel from its lowest address is given by the name.
// The number is the one pixmap data streams store.
enum class PixelFormat : int {
    FormatNone = 0,
    FormatI8 = 1,       // grey
    FormatA8 = 2,       // alpha
    FormatBGR888 = 3,   // blue, green, red
    FormatRGB888 = 4,   // red, green, blue
    FormatBGRA8888 = 5, // blue, green, red, alpha
    FormatRGBA8888 = 6, // red, green, blue, alpha: the pivot of every conversion
};

// A number per pixel format, FormatNone included.
using PixelFormatTable = EnumTable<PixelFormat, 7>;

// Bytes in one pixel of each format. The tables here are indexed by format, FormatNone to
// FormatRGBA8888 (check IsPixelFormat first for a format that came from outside).
inline constexpr PixelFormatTable BytesPerPixel{{0, 1, 1, 3, 3, 4, 4}};
// Bits in one pixel of each format.
inline constexpr PixelFormatTable BitsPerPixel{{0, 8, 8, 24, 24, 32, 32}};
// Bits of red in one pixel of each format.
inline constexpr PixelFormatTable RedBits{{0, 0, 0, 8, 8, 8, 8}};
// Bits of green in one pixel of each format.
inline constexpr PixelFormatTable GreenBits{{0, 0, 0, 8, 8, 8, 8}};
// Bits of blue in one pixel of each format.
inline constexpr PixelFormatTable BlueBits{{0, 0, 0, 8, 8, 8, 8}};
// Bits of alpha in one pixel of each format.
inline constexpr PixelFormatTable AlphaBits{{0, 0, 8, 0, 0, 8, 8}};

// True for the six formats, false for FormatNone and any other number.
inline bool IsPixelFormat(PixelFormat format) {
    return format >= PixelFormat::FormatI8 && format <= PixelFormat::FormatRGBA8888;
}

// Loaders refuse images whose pixel memory would be larger than this.
constexpr int64_t MaxPixmapBytes = 256 << 20;

// Bytes of a row of `width` pixels padded to a multiple of `align`.
int64_t PixmapPitchFor(int64_t width, PixelFormat format, int align);
// True when a width x height pixmap of the format is not empty and its memory,
// rows aligned to 4 bytes, stays within MaxPixmapBytes.
bool PixmapFits(int64_t width, int64_t height, PixelFormat format);

// ---------------------------------------------------------------------------
// Pixel runs. Single pixels travel as ARGB values: alpha in bits 24-31, red
// 16-23, green 8-15, blue 0-7.

// Copies `count` pixels of one format; the runs may overlap. Nothing for a
// count below 1 or a format that is not one of the six.
void CopyPixels(const void* source, void* destination, PixelFormat format, int count);
// Through RGBA8888; a format that is not one of the six converts nothing.
void ConvertPixels(const void* source, PixelFormat sourceFormat, void* destination,
                   PixelFormat destinationFormat, int count);

// ---------------------------------------------------------------------------
// The pixmap

// A width x height block of pixels in one format, rows `Pitch()` bytes apart,
// over its own memory or memory it does not own.
class TPixmap : public TDataObject {
public:
    TPixmap() = default;
    ~TPixmap() override;
    TPixmap(const TPixmap&) = delete;
    TPixmap& operator=(const TPixmap&) = delete;

    // The one pixmap data type, "KVO.Pixmap.TPixmap".
    Ref<TDataType> DataType() override;
    // The address of pixel x, y; nothing is checked, the pixel must exist.
    virtual uint8_t* PixelPtr(int x, int y) const;
    // A static pixmap over this pixmap's memory; this pixmap must outlive it.
    virtual Ref<TPixmap> Window(int x, int y, int width, int height);
    // A new owning pixmap (rows aligned to 4 bytes) with the same pixels, or,
    // from Convert, the pixels in another format. Throw RuntimeError as Create.
    virtual Ref<TPixmap> Copy();
    // Converts the source into this pixmap at x, y: no blending, no clipping.
    virtual void Paste(const Ref<TPixmap>& source, int x, int y);
    // A new owning pixmap with the pixels in `format`; throws RuntimeError as Create.
    virtual Ref<TPixmap> Convert(PixelFormat format);
    // One pixel as ARGB, converted from or to the pixmap's format (grey reads
    // opaque, an alpha pixel white); the pixel must exist.
    virtual uint32_t ReadPixel(int x, int y) const;
    // Writes one ARGB pixel, converted to the pixmap's format; the pixel must exist.
    virtual void WritePixel(int x, int y, uint32_t argb);

    // Owns width x height pixels of undefined content, rows padded to `align`
    // bytes. Throws RuntimeError for dimensions out of range or when the
    // memory cannot be had.
    static Ref<TPixmap> Create(int width, int height, PixelFormat format, int align);
    // Over memory that stays the caller's.
    static Ref<TPixmap> CreateStatic(void* pixels, int width, int height, int pitch,
                                     PixelFormat format);

    uint8_t* Pixels() const { return pixels_; }    // the top-left pixel; rows follow down
    int Width() const { return width_; }           // in pixels
    int Height() const { return height_; }         // in pixels
    int Pitch() const { return pitch_; }           // bytes from one row to the next
    PixelFormat Format() const { return format_; } // the format of every pixel
    int Capacity() const { return capacity_; }     // -1 for memory that is not the pixmap's

private:
    uint8_t* pixels_ = nullptr;
    int width_ = 0;
    int height_ = 0;
    int pitch_ = 0;
    PixelFormat format_ = PixelFormat::FormatNone;
    int capacity_ = 0;
};

// Throws RuntimeError as TPixmap::Create.
// `align` is the byte multiple each row starts at.
Ref<TPixmap> CreatePixmap(int width, int height, PixelFormat format, int align = 4);
// A pixmap over the caller's `pixels`, rows `pitch` bytes apart, neither copied nor freed: they
// must outlive it.
Ref<TPixmap> CreateStaticPixmap(void* pixels, int width, int height, int pitch, PixelFormat format);
// TPixmap::Copy.
Ref<TPixmap> CopyPixmap(const Ref<TPixmap>& pixmap);
// TPixmap::Convert.
Ref<TPixmap> ConvertPixmap(const Ref<TPixmap>& pixmap, PixelFormat format);
// The address of pixel x, y.
uint8_t* PixmapPixelPtr(const Ref<TPixmap>& pixmap, int x, int y);
// TPixmap::Window: a pixmap sharing the pixels of the rectangle.
Ref<TPixmap> PixmapWindow(const Ref<TPixmap>& pixmap, int x, int y, int width, int height);
// TPixmap::ReadPixel: the pixel as ARGB.
uint32_t ReadPixel(const Ref<TPixmap>& pixmap, int x, int y);
// TPixmap::WritePixel: `argb` converted to the pixmap's format.
void WritePixel(const Ref<TPixmap>& pixmap, int x, int y, uint32_t argb);
// Width in pixels.
int PixmapWidth(const Ref<TPixmap>& pixmap);
// Height in pixels.
int PixmapHeight(const Ref<TPixmap>& pixmap);
// Bytes from one row to the next.
int PixmapPitch(const Ref<TPixmap>& pixmap);
// The format of the pixels.
PixelFormat PixmapFormat(const Ref<TPixmap>& pixmap);

// An RGBA8888 copy in which pixels of the colour r, g, b become transparent
// and carry the average colour of their visible neighbours, so that filtered
// scaling shows no fringe of the mask colour; every other pixel is opaque.
Ref<TPixmap> MaskPixmap(const Ref<TPixmap>& pixmap, int r, int g, int b);
Ref<TPixmap> XFlipPixmap(const Ref<TPixmap>& pixmap); // mirrored left to right
Ref<TPixmap> YFlipPixmap(const Ref<TPixmap>& pixmap); // upside down
// Bilinear resampling to the new size, in the pixmap's own format.
Ref<TPixmap> ResizePixmap(const Ref<TPixmap>& pixmap, int width, int height);

// ---------------------------------------------------------------------------
// Loading and saving

// A pixmap loader. Making one puts it at the head of the registry, so the
// newest loader is tried first; it leaves the registry when destroyed.
class TPixmapLoader : public Object, public Registered<TPixmapLoader> {
public:
    // A pixmap, or no object for data the loader does not recognise. May
    // leave the stream anywhere; a TStreamError counts as a refusal. The base
    // throws RuntimeError "Attempt to call abstract method".
    virtual Ref<TPixmap> LoadPixmap(const Ref<TStream>& stream);
};

// The newest loader, the first LoadPixmap tries; follow Next for the rest.
TPixmapLoader* FirstPixmapLoader();

// PNG, JPEG, BMP or TGA from anything OpenReadStream accepts; no object when
// it cannot be opened or no loader recognises the data. Never throws for
// unrecognised or damaged data.
Ref<TPixmap> LoadPixmap(const Url& url);

// Compression is the zlib level 0-9, quality the JPEG quality 0-100. Written
// through OpenSaveStream: false when the output cannot be opened or the image
// did not all reach it, and an existing file is then kept as it was.
bool SavePixmapPNG(const Ref<TPixmap>& pixmap, const Url& url, int compression = 5);
// `quality` is the JPEG quality, 0 (smallest) to 100 (best).
bool SavePixmapJPEG(const Ref<TPixmap>& pixmap, const Url& url, int quality = 75);

} // namespace zandrel
