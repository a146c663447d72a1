#include "image_files.hpp"
#include "test_support.hpp"

#include <gtest/gtest.h>

using namespace zandrel;
using namespace zandrel::test;

namespace {

void ExpectBmpPixels(const BmpSpec& spec, const std::string& label) {
    auto p = LoadFromBytes(MakeBmp(spec));
    ASSERT_TRUE(p) << label;
    ASSERT_EQ(p->Width(), spec.width);
    ASSERT_EQ(p->Height(), spec.height);
    for (int y = 0; y < spec.height; ++y)
        for (int x = 0; x < spec.width; ++x)
            ASSERT_EQ(p->ReadPixel(x, y), ExpectedBmpPixel(spec, x, y))
                << label << " at " << x << "," << y;
}

} // namespace

TEST(BmpLoader, UncompressedDepthsHeadersAndRowOrders) {
    for (int bits : {1, 4, 8, 24, 32})
        for (int infoSize : {40, 108, 124})
            for (bool topDown : {false, true})
                for (int width : {1, 3, 9}) {
                    BmpSpec spec;
                    spec.bitCount = bits;
                    spec.infoSize = infoSize;
                    spec.topDown = topDown;
                    spec.width = width;
                    ExpectBmpPixels(spec, std::to_string(bits) + "-bit, header " +
                                              std::to_string(infoSize) +
                                              (topDown ? " top-down" : "") + ", width " +
                                              std::to_string(width));
                }
    BmpSpec grey;
    grey.bitCount = 8;
    EXPECT_EQ(LoadFromBytes(MakeBmp(grey))->Format(), PixelFormat::FormatBGR888);
    grey.bitCount = 32;
    EXPECT_EQ(LoadFromBytes(MakeBmp(grey))->Format(), PixelFormat::FormatBGRA8888);
}

TEST(BmpLoader, ReadsTheTwelveByteOs2Header) {
    for (int bits : {1, 4, 8, 24})
        for (int width : {1, 3, 9}) {
            BmpSpec spec;
            spec.infoSize = 12;
            spec.bitCount = bits;
            spec.width = width;
            ExpectBmpPixels(spec, "OS/2 " + std::to_string(bits) + "-bit, width " +
                                      std::to_string(width));
        }
    BmpSpec shortPalette; // entries up to where the pixels start
    shortPalette.infoSize = 12;
    shortPalette.bitCount = 8;
    shortPalette.paletteEntries = 5;
    ExpectBmpPixels(shortPalette, "OS/2 8-bit with 5 entries");

    BmpSpec odd = shortPalette;
    odd.bitCount = 7;
    EXPECT_FALSE(LoadFromBytes(MakeBmp(odd)));
    odd.bitCount = 8;
    odd.width = 0;
    EXPECT_FALSE(LoadFromBytes(MakeBmp(odd)));
}

TEST(BmpLoader, BitFieldMasks) {
    struct Case {
        int bits, compression, infoSize;
        uint32_t masks[4];
        PixelFormat format;
    };
    const Case cases[] = {
        {16, 0, 40, {0, 0, 0, 0}, PixelFormat::FormatBGR888},                       // implied 5-5-5
        {16, 3, 40, {0xF800, 0x07E0, 0x001F, 0}, PixelFormat::FormatBGR888},        // 5-6-5
        {16, 6, 40, {0x0F00, 0x00F0, 0x000F, 0xF000}, PixelFormat::FormatBGRA8888}, // 4-4-4-4
        {16, 3, 124, {0x7C00, 0x03E0, 0x001F, 0x8000}, PixelFormat::FormatBGRA8888}, // 1-5-5-5
        {32, 3, 40, {0x000000FF, 0x0000FF00, 0x00FF0000, 0}, PixelFormat::FormatBGRA8888},
        {32, 3, 108, {0x00FF0000, 0x0000FF00, 0x000000FF, 0xFF000000}, PixelFormat::FormatBGRA8888},
        {32, 3, 56, {0x3FF00000, 0x000FFC00, 0x000003FF, 0xC0000000}, PixelFormat::FormatBGRA8888},
    };
    for (const auto& c : cases) {
        BmpSpec spec;
        spec.bitCount = c.bits;
        spec.compression = c.compression;
        spec.infoSize = c.infoSize;
        std::copy(c.masks, c.masks + 4, spec.masks);
        std::string label = std::to_string(c.bits) + "-bit masks " + std::to_string(c.masks[0]);
        ExpectBmpPixels(spec, label);
        EXPECT_EQ(LoadFromBytes(MakeBmp(spec))->Format(), c.format) << label;
    }
}

TEST(BmpLoader, PaletteAndOffsetRules) {
    BmpSpec mono;
    mono.bitCount = 1;
    mono.coloursUsed = 7; // ignored: a 1-bit file has two entries
    ExpectBmpPixels(mono, "1-bit claiming 7 colours");

    BmpSpec few;
    few.bitCount = 8;
    few.coloursUsed = few.paletteEntries = 5;
    ExpectBmpPixels(few, "8-bit with 5 entries");

    BmpSpec gap;
    gap.bitCount = 4;
    gap.gapBeforePixels = 37; // pixels start where the file header says
    ExpectBmpPixels(gap, "gap before pixels");

    BmpSpec rows;
    rows.width = 3; // 9 bytes of data and 3 of padding per row
    auto file = MakeBmp(rows);
    EXPECT_EQ(file.size(), 54u + 5 * 12);
    ExpectBmpPixels(rows, "24-bit, width 3");
}

TEST(BmpLoader, ThirtyTwoBitsWithoutAlphaAreOpaque) {
    BmpSpec spec;
    spec.bitCount = 32;
    auto file = MakeBmp(spec);
    for (size_t i = 54 + 3; i < file.size(); i += 4)
        file[i] = 0;
    auto p = LoadFromBytes(file);
    ASSERT_TRUE(p);
    EXPECT_EQ(p->ReadPixel(2, 3), ExpectedBmpPixel(spec, 2, 3) | 0xFF000000u);
}

TEST(BmpLoader, RefusesWhatItCannotDecode) {
    auto refused = [](const BmpSpec& spec, auto&& edit) {
        auto file = MakeBmp(spec);
        edit(file);
        return !LoadFromBytes(file);
    };
    auto none = [](Bytes8&) {};
    auto setInt = [](size_t at, uint32_t v) {
        return [=](Bytes8& f) {
            for (int i = 0; i < 4; ++i)
                f[at + i] = static_cast<uint8_t>(v >> (8 * i));
        };
    };
    BmpSpec plain, indexed4, indexed8;
    indexed4.bitCount = 4;
    indexed8.bitCount = 8;
    EXPECT_TRUE(refused(plain, setInt(30, 1)));      // RLE8
    EXPECT_TRUE(refused(plain, setInt(30, 4)));      // embedded JPEG
    EXPECT_TRUE(refused(plain, setInt(30, 5)));      // embedded PNG
    EXPECT_TRUE(refused(indexed4, setInt(46, 17)));  // 17 colours for 4 bits
    EXPECT_TRUE(refused(indexed8, setInt(46, 300))); // 300 colours for 8 bits
    EXPECT_TRUE(refused(plain, setInt(18, 0)));      // width 0
    EXPECT_TRUE(refused(plain, setInt(22, 0)));      // height 0
    EXPECT_TRUE(refused(plain, [&](Bytes8& f) {      // 100000 x 100000
        setInt(18, 100000)(f);
        setInt(22, 100000)(f);
    }));
    EXPECT_TRUE(refused(plain, setInt(22, 0x80000000u)));      // -2^31 rows
    EXPECT_TRUE(refused(plain, setInt(14, 0x7FFFFFFF)));       // absurd header size
    EXPECT_TRUE(refused(plain, setInt(10, 20)));               // pixels inside the header
    EXPECT_TRUE(refused(plain, [](Bytes8& f) { f[28] = 7; })); // 7 bits per pixel
    EXPECT_TRUE(refused(plain, [](Bytes8& f) { f[0] = 'b'; }));
    BmpSpec gappy;
    gappy.bitCount = 16;
    gappy.compression = 3;
    gappy.masks[0] = 0xF00F; // not one run of bits
    gappy.masks[1] = 0x00F0;
    EXPECT_TRUE(refused(gappy, none));
    for (size_t cut : {10ul, 30ul, 54ul, 70ul, 100ul}) {
        auto file = MakeBmp(indexed8);
        file.resize(std::min(file.size() - 1, cut + 1000));
        EXPECT_FALSE(LoadFromBytes(file)) << "cut " << cut;
        file.resize(cut);
        EXPECT_FALSE(LoadFromBytes(file)) << "cut " << cut;
    }
}
