#include "image_files.hpp"

#include <bit>

namespace zandrel::test {

namespace {

void PutLE(Bytes8& out, uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i)
        out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

int StoredEntries(const BmpSpec& s) {
    if (s.paletteEntries >= 0) return s.paletteEntries;
    return s.bitCount == 1 ? 2 : 1 << s.bitCount;
}

// The masks a file uses: its own, or 5-5-5 for a plain 16-bit file.
void EffectiveMasks(const BmpSpec& s, uint32_t masks[4]) {
    for (int i = 0; i < 4; ++i)
        masks[i] = s.masks[i];
    if (s.compression == 0 && s.bitCount == 16) {
        masks[0] = 0x7C00;
        masks[1] = 0x03E0;
        masks[2] = 0x001F;
        masks[3] = 0;
    }
}

uint32_t PackChannel(uint8_t value, uint32_t mask) {
    if (!mask) return 0;
    int shift = std::countr_zero(mask);
    int bits = std::popcount(mask);
    uint32_t v = bits >= 8 ? uint32_t{value} << (bits - 8) : uint32_t{value} >> (8 - bits);
    return (v << shift) & mask;
}

uint8_t UnpackChannel(uint32_t pixel, uint32_t mask, uint8_t absent) {
    if (!mask) return absent;
    int shift = std::countr_zero(mask);
    uint64_t top = (uint64_t{1} << std::popcount(mask)) - 1;
    return static_cast<uint8_t>((((pixel & mask) >> shift) * 255 + top / 2) / top);
}

uint32_t BitFieldValue(const BmpSpec& s, int x, int y) {
    uint32_t masks[4];
    EffectiveMasks(s, masks);
    uint32_t c = PatternPixel(x, y);
    return PackChannel(RedOf(c), masks[0]) | PackChannel(GreenOf(c), masks[1]) |
           PackChannel(BlueOf(c), masks[2]) | PackChannel(AlphaOf(c), masks[3]);
}

bool IsBitField(const BmpSpec& s) {
    return s.bitCount == 16 || (s.bitCount == 32 && s.compression != 0);
}

void PutBmpPixel(Bytes8& row, const BmpSpec& s, int x, int y) {
    uint32_t c = PatternPixel(x, y);
    if (s.bitCount <= 8) {
        int index = (x + 2 * y) % StoredEntries(s);
        if (s.bitCount == 1) row[x / 8] |= static_cast<uint8_t>(index << (7 - x % 8));
        if (s.bitCount == 4) row[x / 2] |= static_cast<uint8_t>(index << (x % 2 ? 0 : 4));
        if (s.bitCount == 8) row[x] = static_cast<uint8_t>(index);
    } else if (IsBitField(s)) {
        uint32_t v = BitFieldValue(s, x, y);
        int bytes = s.bitCount / 8;
        for (int i = 0; i < bytes; ++i)
            row[x * bytes + i] = static_cast<uint8_t>(v >> (8 * i));
    } else {
        int bytes = s.bitCount / 8;
        uint8_t bgra[4] = {BlueOf(c), GreenOf(c), RedOf(c), AlphaOf(c)};
        for (int i = 0; i < bytes; ++i)
            row[x * bytes + i] = bgra[i];
    }
}

} // namespace

Ref<TBank> BankOf(const Bytes8& bytes) {
    auto bank = CreateBank(static_cast<int>(bytes.size()));
    std::copy(bytes.begin(), bytes.end(), bank->Buf());
    return bank;
}

Ref<TStream> StreamOver(const Bytes8& bytes) {
    return CreateBankStream(BankOf(bytes));
}

Ref<TPixmap> LoadFromBytes(const Bytes8& bytes) {
    return LoadPixmap(BankOf(bytes));
}

uint32_t PatternPixel(int x, int y) {
    return ARGB((x * 40 + y * 7 + 1) & 255, (x * 37 + y * 11) & 255, (y * 53 + x * 3) & 255,
                ((x + y) * 29) & 255);
}

std::vector<uint32_t> ArgbPixels(const Ref<TPixmap>& pixmap) {
    std::vector<uint32_t> pixels;
    for (int y = 0; y < pixmap->Height(); ++y)
        for (int x = 0; x < pixmap->Width(); ++x)
            pixels.push_back(pixmap->ReadPixel(x, y));
    return pixels;
}

uint32_t PaletteColour(int index) {
    return ARGB(0, (index * 40) & 255, (index * 90 + 7) & 255, (index * 15 + 3) & 255);
}

namespace {

// The OS/2 1.x header: 16-bit sizes and 3-byte palette entries.
Bytes8 CoreInfo(const BmpSpec& s) {
    Bytes8 info;
    PutLE(info, 12, 4);
    PutLE(info, s.width, 2);
    PutLE(info, s.height, 2);
    PutLE(info, 1, 2);
    PutLE(info, s.bitCount, 2);
    if (s.bitCount <= 8)
        for (int i = 0; i < StoredEntries(s); ++i)
            PutLE(info, PaletteColour(i), 3);
    return info;
}

// The 40-byte header or a newer one, its masks and its palette.
Bytes8 InfoHeader(const BmpSpec& s) {
    Bytes8 info;
    PutLE(info, s.infoSize, 4);
    PutLE(info, s.width, 4);
    PutLE(info, s.topDown ? -s.height : s.height, 4);
    PutLE(info, 1, 2);
    PutLE(info, s.bitCount, 2);
    PutLE(info, s.compression, 4);
    PutLE(info, 0, 4);
    PutLE(info, 2835, 4);
    PutLE(info, 2835, 4);
    PutLE(info, s.coloursUsed, 4);
    PutLE(info, 0, 4);
    if (s.infoSize > 40) {
        for (uint32_t mask : s.masks)
            PutLE(info, mask, 4);
        info.resize(s.infoSize, 0);
    } else if (s.compression == 3 || s.compression == 6) {
        for (int i = 0; i < (s.compression == 6 ? 4 : 3); ++i)
            PutLE(info, s.masks[i], 4);
    }
    if (s.bitCount <= 8)
        for (int i = 0; i < StoredEntries(s); ++i)
            PutLE(info, PaletteColour(i), 4);
    return info;
}

} // namespace

Bytes8 MakeBmp(const BmpSpec& s) {
    Bytes8 info = s.infoSize == 12 ? CoreInfo(s) : InfoHeader(s);
    info.resize(info.size() + s.gapBeforePixels, 0xEE);

    int stride = (s.width * s.bitCount + 31) / 32 * 4;
    Bytes8 pixels;
    for (int i = 0; i < s.height; ++i) {
        int y = s.topDown ? i : s.height - 1 - i;
        Bytes8 row(stride, 0);
        for (int x = 0; x < s.width; ++x)
            PutBmpPixel(row, s, x, y);
        pixels.insert(pixels.end(), row.begin(), row.end());
    }
    Bytes8 file = {'B', 'M'};
    uint32_t offset = 14 + static_cast<uint32_t>(info.size());
    PutLE(file, offset + static_cast<uint32_t>(pixels.size()), 4);
    PutLE(file, 0, 4);
    PutLE(file, offset, 4);
    file.insert(file.end(), info.begin(), info.end());
    file.insert(file.end(), pixels.begin(), pixels.end());
    return file;
}

uint32_t ExpectedBmpPixel(const BmpSpec& s, int x, int y) {
    uint32_t c = PatternPixel(x, y);
    if (s.bitCount <= 8) return PaletteColour((x + 2 * y) % StoredEntries(s)) | 0xFF000000u;
    if (s.bitCount == 24) return c | 0xFF000000u;
    if (!IsBitField(s)) return c;
    uint32_t masks[4];
    EffectiveMasks(s, masks);
    uint32_t v = BitFieldValue(s, x, y);
    return ARGB(UnpackChannel(v, masks[3], 255), UnpackChannel(v, masks[0], 0),
                UnpackChannel(v, masks[1], 0), UnpackChannel(v, masks[2], 0));
}

namespace {

uint32_t TgaSource(int x, int y) {
    return PatternPixel(x / 3 * 3, y);
}

Bytes8 TgaStoredPixel(int depth, uint32_t c) {
    Bytes8 out;
    if (depth == 15 || depth == 16) {
        uint32_t w = (RedOf(c) >> 3) << 10 | (GreenOf(c) >> 3) << 5 | BlueOf(c) >> 3;
        if (AlphaOf(c) & 0x80) w |= 0x8000;
        PutLE(out, w, 2);
    } else {
        out = {BlueOf(c), GreenOf(c), RedOf(c)};
        if (depth == 32) out.push_back(AlphaOf(c));
    }
    return out;
}

void PutRunLengthRow(Bytes8& out, const std::vector<Bytes8>& row) {
    size_t x = 0;
    while (x < row.size()) {
        size_t run = 1;
        while (x + run < row.size() && row[x + run] == row[x] && run < 128)
            ++run;
        if (run > 1) {
            out.push_back(static_cast<uint8_t>(0x80 | (run - 1)));
            out.insert(out.end(), row[x].begin(), row[x].end());
            x += run;
            continue;
        }
        size_t literal = 1;
        while (x + literal < row.size() && literal < 128 &&
               (x + literal + 1 >= row.size() || row[x + literal] != row[x + literal + 1]))
            ++literal;
        out.push_back(static_cast<uint8_t>(literal - 1));
        for (size_t i = 0; i < literal; ++i)
            out.insert(out.end(), row[x + i].begin(), row[x + i].end());
        x += literal;
    }
}

} // namespace

Bytes8 MakeTga(const TgaSpec& s) {
    Bytes8 file = {static_cast<uint8_t>(s.idLength), 0, static_cast<uint8_t>(s.runLength ? 10 : 2)};
    file.resize(12, 0);
    PutLE(file, s.width, 2);
    PutLE(file, s.height, 2);
    file.push_back(static_cast<uint8_t>(s.depth));
    file.push_back(s.topLeft ? 0x20 : 0);
    for (int i = 0; i < s.idLength; ++i)
        file.push_back(static_cast<uint8_t>('a' + i % 26));
    for (int i = 0; i < s.height; ++i) {
        int y = s.topLeft ? i : s.height - 1 - i;
        std::vector<Bytes8> row;
        for (int x = 0; x < s.width; ++x)
            row.push_back(TgaStoredPixel(s.depth, TgaSource(x, y)));
        if (s.runLength) {
            PutRunLengthRow(file, row);
        } else {
            for (auto& pixel : row)
                file.insert(file.end(), pixel.begin(), pixel.end());
        }
    }
    return file;
}

uint32_t ExpectedTgaPixel(const TgaSpec& s, int x, int y) {
    uint32_t c = TgaSource(x, y);
    if (s.depth == 24) return c | 0xFF000000u;
    if (s.depth == 32) return c;
    uint32_t rgb = ARGB(0, RedOf(c) & 0xF8, GreenOf(c) & 0xF8, BlueOf(c) & 0xF8);
    bool transparent = s.depth == 16 && (AlphaOf(c) & 0x80);
    return rgb | (transparent ? 0u : 0xFF000000u);
}

} // namespace zandrel::test
