#include "pixmap_private.hpp"

#include <algorithm>
#include <vector>

namespace zandrel {

namespace {

constexpr int tgaHeaderSize = 18;
constexpr int maxTgaSide = 4096;
constexpr int trueColour = 2;
constexpr int runLengthTrueColour = 10;
constexpr int topLeftOrigin = 0x20;
constexpr int rightToLeft = 0x10;

struct TTGAHeader {
    int idLength = 0;
    int colourMapType = 0;
    int imageType = 0;
    int width = 0;
    int height = 0;
    int depth = 0;
    int descriptor = 0;

    int BytesPerPixel() const { return (depth + 7) / 8; }
};

// Colour-mapped files (type 1) carry no map under these rules: refused.
bool IsAccepted(const TTGAHeader& h) {
    return h.colourMapType == 0 &&
           (h.imageType == trueColour || h.imageType == runLengthTrueColour) &&
           (h.depth == 15 || h.depth == 16 || h.depth == 24 || h.depth == 32) && h.width >= 1 &&
           h.width <= maxTgaSide && h.height >= 1 && h.height <= maxTgaSide;
}

bool ReadTgaHeader(TStream& stream, TTGAHeader& h) {
    uint8_t bytes[tgaHeaderSize];
    if (ReadUpTo(stream, bytes, tgaHeaderSize) != tgaHeaderSize) return false;
    h.idLength = bytes[0];
    h.colourMapType = bytes[1];
    h.imageType = bytes[2];
    h.width = LittleUint16(bytes + 12);
    h.height = LittleUint16(bytes + 14);
    h.depth = bytes[16];
    h.descriptor = bytes[17];
    return IsAccepted(h);
}

// One stored pixel as B, G, R, A. In 16-bit pixels a set top bit means
// transparent.
void DecodePixel(const uint8_t* in, int depth, uint8_t* out) {
    if (depth == 15 || depth == 16) {
        int w = LittleUint16(in);
        out[0] = static_cast<uint8_t>((w << 3) & 0xF8);
        out[1] = static_cast<uint8_t>((w >> 2) & 0xF8);
        out[2] = static_cast<uint8_t>((w >> 7) & 0xF8);
        out[3] = depth == 16 && (w & 0x8000) ? 0 : 255;
    } else {
        out[0] = in[0];
        out[1] = in[1];
        out[2] = in[2];
        out[3] = depth == 32 ? in[3] : 255;
    }
}

void DecodePixels(const uint8_t* in, int depth, uint8_t* out, int count) {
    int bytes = (depth + 7) / 8;
    for (int i = 0; i < count; ++i)
        DecodePixel(in + i * bytes, depth, out + i * 4);
}

void ReadRawRow(TStream& stream, const TTGAHeader& h, std::vector<uint8_t>& scratch, uint8_t* out) {
    ReadExactly(stream, scratch.data(), h.width * h.BytesPerPixel());
    DecodePixels(scratch.data(), h.depth, out, h.width);
}

// Packets of up to 128 pixels. Older writers let a packet run on into the
// next row, so what is left of one carries over; what would reach past the
// last row is never read.
class RunLengthDecoder {
public:
    RunLengthDecoder(TStream& stream, const TTGAHeader& h) : stream_(stream), h_(h) {}

    void ReadRow(uint8_t* out) {
        for (int x = 0; x < h_.width;) {
            if (left_ == 0) StartPacket();
            int n = std::min(left_, h_.width - x);
            if (repeat_) {
                for (int i = 0; i < n; ++i)
                    std::copy_n(pixel_, 4, out + (x + i) * 4);
            } else {
                ReadExactly(stream_, scratch_, n * h_.BytesPerPixel());
                DecodePixels(scratch_, h_.depth, out + x * 4, n);
            }
            x += n;
            left_ -= n;
        }
    }

private:
    void StartPacket() {
        uint8_t packet = 0;
        ReadExactly(stream_, &packet, 1);
        left_ = (packet & 0x7F) + 1;
        repeat_ = packet & 0x80;
        if (!repeat_) return;
        ReadExactly(stream_, scratch_, h_.BytesPerPixel());
        DecodePixel(scratch_, h_.depth, pixel_);
    }

    TStream& stream_;
    const TTGAHeader& h_;
    int left_ = 0;
    bool repeat_ = false;
    uint8_t pixel_[4] = {};
    uint8_t scratch_[128 * 4] = {};
};

void ReverseRow(uint8_t* row, int width) {
    auto* words = reinterpret_cast<uint32_t*>(row);
    std::reverse(words, words + width);
}

} // namespace

Ref<TPixmap> TPixmapLoaderTGA::LoadPixmap(const Ref<TStream>& stream) {
    auto in = LittleEndianStream(stream);
    TTGAHeader h;
    if (!ReadTgaHeader(*in, h)) return nullptr;
    PixelFormat format =
        h.depth == 16 || h.depth == 32 ? PixelFormat::FormatRGBA8888 : PixelFormat::FormatRGB888;
    in->SkipBytes(h.idLength);
    // Raw pixels have a known size; run-length data takes at least one packet
    // per 128 pixels.
    int64_t pixels = int64_t{h.width} * h.height;
    int64_t leastBytes = h.imageType == trueColour ? pixels * h.BytesPerPixel()
                                                   : (pixels + 127) / 128 * (1 + h.BytesPerPixel());
    if (!MayHoldBytes(*in, leastBytes)) return nullptr;
    auto pixmap = CreateImagePixmap(h.width, h.height, format);
    if (!pixmap) return nullptr;
    std::vector<uint8_t> scratch(static_cast<size_t>(h.width) * 4);
    std::vector<uint32_t> words(static_cast<size_t>(h.width));
    auto* row = reinterpret_cast<uint8_t*>(words.data());
    RunLengthDecoder runLength(*in, h);
    for (int i = 0; i < h.height; ++i) {
        if (h.imageType == trueColour)
            ReadRawRow(*in, h, scratch, row);
        else
            runLength.ReadRow(row);
        if (h.descriptor & rightToLeft) ReverseRow(row, h.width);
        int y = h.descriptor & topLeftOrigin ? i : h.height - 1 - i;
        ConvertPixels(row, PixelFormat::FormatBGRA8888, pixmap->PixelPtr(0, y), format, h.width);
    }
    return pixmap;
}

} // namespace zandrel
