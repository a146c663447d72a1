#include "pixmap_private.hpp"

#include <algorithm>
#include <bit>
#include <climits>
#include <vector>

namespace zandrel {

namespace {

constexpr int fileHeaderSize = 14;
// The OS/2 1.x header: 16-bit sizes, no compression, 3-byte palette entries.
constexpr int coreHeaderSize = 12;
constexpr int largestInfoHeader = 124;
constexpr int uncompressed = 0;
constexpr int bitFields = 3;
constexpr int alphaBitFields = 6;

// One colour channel of a bit-field pixel: where it lies and how wide it is.
struct Channel {
    uint32_t mask = 0;
    int shift = 0;
    int bits = 0;
};

struct BmpHeader {
    int dataOffset = 0;
    int infoSize = 0;
    int width = 0;
    int height = 0;
    bool topDown = false;
    int bitCount = 0;
    int compression = 0;
    int coloursUsed = 0;
    Channel channels[4]; // red, green, blue, alpha

    bool IsCore() const { return infoSize == coreHeaderSize; }
};

// False for a mask whose bits are not one run.
bool MakeChannel(uint32_t mask, Channel& channel) {
    channel = Channel{mask, 0, 0};
    if (!mask) return true;
    channel.shift = std::countr_zero(mask);
    uint32_t run = mask >> channel.shift;
    channel.bits = std::popcount(run);
    return (run & (run + 1)) == 0;
}

uint8_t ScaleChannel(uint32_t pixel, const Channel& c, uint8_t absent) {
    if (!c.bits) return absent;
    uint64_t top = (uint64_t{1} << c.bits) - 1;
    uint64_t value = (pixel & c.mask) >> c.shift;
    return static_cast<uint8_t>((value * 255 + top / 2) / top);
}

bool IsKnownInfoSize(int size) {
    return size == coreHeaderSize || size == 40 || size == 52 || size == 56 || size == 108 ||
           size == 124;
}

bool IsDecodable(const BmpHeader& h) {
    if (h.compression == uncompressed)
        return h.bitCount == 1 || h.bitCount == 4 || h.bitCount == 8 || h.bitCount == 16 ||
               h.bitCount == 24 || h.bitCount == 32;
    if (h.compression == bitFields || h.compression == alphaBitFields)
        return h.bitCount == 16 || h.bitCount == 32;
    return false; // run-length, embedded JPEG or PNG, Huffman
}

// The masks of a bit-field file: inside the newer headers, after the 40-byte
// one. A 16-bit file without them is 5-5-5.
bool ReadMasks(TStream& stream, const uint8_t* info, BmpHeader& h, int& consumed) {
    uint32_t masks[4] = {0, 0, 0, 0};
    if (h.compression == uncompressed) {
        if (h.bitCount == 16) masks[0] = 0x7C00, masks[1] = 0x03E0, masks[2] = 0x001F;
    } else {
        int count = h.compression == alphaBitFields ? 4 : 3;
        uint8_t bytes[16];
        const uint8_t* from = info + 40;
        if (h.infoSize == 40) {
            ReadExactly(stream, bytes, count * 4);
            consumed += count * 4;
            from = bytes;
        } else if (h.infoSize >= 56) {
            count = 4;
        }
        for (int i = 0; i < count; ++i)
            masks[i] = static_cast<uint32_t>(LittleInt32(from + i * 4));
    }
    for (int i = 0; i < 4; ++i)
        if (!MakeChannel(masks[i], h.channels[i])) return false;
    return true;
}

// Everything up to the palette; false for a file this loader does not take.
bool ReadBmpHeader(TStream& stream, BmpHeader& h, int& consumed) {
    uint8_t file[fileHeaderSize];
    if (ReadUpTo(stream, file, fileHeaderSize) != fileHeaderSize) return false;
    if (file[0] != 'B' || file[1] != 'M') return false;
    h.dataOffset = LittleInt32(file + 10);
    uint8_t info[largestInfoHeader] = {};
    ReadExactly(stream, info, 4);
    h.infoSize = LittleInt32(info);
    if (!IsKnownInfoSize(h.infoSize)) return false;
    ReadExactly(stream, info + 4, h.infoSize - 4);
    consumed = fileHeaderSize + h.infoSize;
    int height = 0;
    if (h.IsCore()) {
        h.width = LittleUint16(info + 4);
        height = LittleUint16(info + 6);
        h.bitCount = LittleUint16(info + 10);
    } else {
        h.width = LittleInt32(info + 4);
        height = LittleInt32(info + 8);
        h.bitCount = LittleUint16(info + 14);
        h.compression = LittleInt32(info + 16);
        h.coloursUsed = LittleInt32(info + 32);
    }
    if (height == INT_MIN || height == 0 || h.width <= 0) return false;
    h.topDown = height < 0;
    h.height = height < 0 ? -height : height;
    return IsDecodable(h) && ReadMasks(stream, info, h, consumed);
}

// Entries stored in the file. A 1-bit file always has two whatever it says
// it uses; an OS/2 1.x file has as many as the depth indexes, or as many as
// fit before the pixels when that is fewer.
int StoredPaletteEntries(const BmpHeader& h, int consumed) {
    int tableSize = 1 << h.bitCount;
    if (h.IsCore())
        return static_cast<int>(
            std::clamp<int64_t>((int64_t{h.dataOffset} - consumed) / 3, 0, tableSize));
    return h.bitCount == 1 ? 2 : h.coloursUsed == 0 ? tableSize : h.coloursUsed;
}

// The palette as B, G, R, 0 entries; a larger table than the depth can
// index is refused.
bool ReadPalette(TStream& stream, const BmpHeader& h, std::vector<uint8_t>& palette,
                 int& consumed) {
    if (h.bitCount > 8) return true;
    int tableSize = 1 << h.bitCount;
    int entries = StoredPaletteEntries(h, consumed);
    if (entries < 0 || entries > tableSize) return false;
    int entryBytes = h.IsCore() ? 3 : 4;
    std::vector<uint8_t> stored(static_cast<size_t>(entries) * entryBytes);
    ReadExactly(stream, stored.data(), static_cast<int>(stored.size()));
    consumed += static_cast<int>(stored.size());
    palette.assign(static_cast<size_t>(tableSize) * 4, 0);
    for (int i = 0; i < entries; ++i)
        std::copy_n(stored.data() + i * entryBytes, 3, palette.data() + i * 4);
    return true;
}

int IndexAt(const uint8_t* row, int bitCount, int x) {
    switch (bitCount) {
    case 1:
        return (row[x / 8] & (0x80 >> (x % 8))) ? 1 : 0;
    case 4:
        return x % 2 ? row[x / 2] & 0x0F : row[x / 2] >> 4;
    default:
        return row[x];
    }
}

uint32_t BitFieldPixel(const uint8_t* row, int bitCount, int x) {
    if (bitCount == 16) return static_cast<uint32_t>(LittleUint16(row + x * 2));
    return static_cast<uint32_t>(LittleInt32(row + x * 4));
}

// One stored row as B, G, R, A bytes.
void DecodeRow(const BmpHeader& h, const uint8_t* row, const std::vector<uint8_t>& palette,
               uint8_t* out) {
    for (int x = 0; x < h.width; ++x, out += 4) {
        if (h.bitCount <= 8) {
            std::copy_n(palette.data() + IndexAt(row, h.bitCount, x) * 4, 4, out);
        } else if (h.bitCount == 24) {
            std::copy_n(row + x * 3, 3, out);
            out[3] = 255;
        } else if (h.bitCount == 32 && h.compression == uncompressed) {
            std::copy_n(row + x * 4, 4, out);
        } else {
            uint32_t pixel = BitFieldPixel(row, h.bitCount, x);
            out[0] = ScaleChannel(pixel, h.channels[2], 0);
            out[1] = ScaleChannel(pixel, h.channels[1], 0);
            out[2] = ScaleChannel(pixel, h.channels[0], 0);
            out[3] = ScaleChannel(pixel, h.channels[3], 255);
        }
    }
}

// Most 32-bit files leave the fourth byte 0 and mean no transparency.
void OpaqueWhenAlphaUnused(TPixmap& pixmap) {
    for (int y = 0; y < pixmap.Height(); ++y)
        for (int x = 0; x < pixmap.Width(); ++x)
            if (pixmap.PixelPtr(x, y)[3] != 0) return;
    for (int y = 0; y < pixmap.Height(); ++y)
        for (int x = 0; x < pixmap.Width(); ++x)
            pixmap.PixelPtr(x, y)[3] = 255;
}

Ref<TPixmap> ReadRows(TStream& stream, const BmpHeader& h, const std::vector<uint8_t>& palette) {
    bool alpha = h.bitCount == 32 || h.channels[3].bits > 0;
    PixelFormat format = alpha ? PixelFormat::FormatBGRA8888 : PixelFormat::FormatBGR888;
    int stride = static_cast<int>((int64_t{h.width} * h.bitCount + 31) / 32 * 4);
    if (!MayHoldBytes(stream, int64_t{stride} * h.height)) return nullptr;
    auto pixmap = CreateImagePixmap(h.width, h.height, format);
    if (!pixmap) return nullptr;
    std::vector<uint8_t> row(static_cast<size_t>(stride));
    std::vector<uint8_t> bgra(static_cast<size_t>(h.width) * 4);
    for (int i = 0; i < h.height; ++i) {
        ReadExactly(stream, row.data(), stride);
        DecodeRow(h, row.data(), palette, bgra.data());
        int y = h.topDown ? i : h.height - 1 - i;
        ConvertPixels(bgra.data(), PixelFormat::FormatBGRA8888, pixmap->PixelPtr(0, y), format,
                      h.width);
    }
    if (h.bitCount == 32 && h.compression == uncompressed) OpaqueWhenAlphaUnused(*pixmap);
    return pixmap;
}

} // namespace

Ref<TPixmap> TPixmapLoaderBMP::LoadPixmap(const Ref<TStream>& stream) {
    auto in = LittleEndianStream(stream);
    BmpHeader h;
    int consumed = 0;
    std::vector<uint8_t> palette;
    if (!ReadBmpHeader(*in, h, consumed) || !ReadPalette(*in, h, palette, consumed)) return nullptr;
    // The pixels start where the file header says, not necessarily right
    // after the palette; an offset back into the headers is damage.
    if (h.dataOffset < consumed) return nullptr;
    in->SkipBytes(h.dataOffset - consumed);
    return ReadRows(*in, h, palette);
}

} // namespace zandrel
