#include "image_files.hpp"
#include "test_support.hpp"

#include <gtest/gtest.h>

using namespace zandrel;
using namespace zandrel::test;

namespace {

// A 16-bit raw header for hand-made pixel data.
Bytes8 TgaHeader(int type, int width, int height, int depth, int descriptor = 0) {
    return {0,
            0,
            static_cast<uint8_t>(type),
            0,
            0,
            0,
            0,
            0,
            0,
            0,
            0,
            0,
            static_cast<uint8_t>(width),
            static_cast<uint8_t>(width >> 8),
            static_cast<uint8_t>(height),
            static_cast<uint8_t>(height >> 8),
            static_cast<uint8_t>(depth),
            static_cast<uint8_t>(descriptor)};
}

} // namespace

TEST(TgaLoader, DepthsEncodingsAndOrigins) {
    for (int depth : {15, 16, 24, 32})
        for (bool runLength : {false, true})
            for (bool topLeft : {false, true}) {
                TgaSpec spec;
                spec.depth = depth;
                spec.runLength = runLength;
                spec.topLeft = topLeft;
                spec.idLength = 5;
                spec.width = 11;
                std::string label = std::to_string(depth) + (runLength ? " RLE" : " raw") +
                                    (topLeft ? " top-left" : " bottom-left");
                auto p = LoadFromBytes(MakeTga(spec));
                ASSERT_TRUE(p) << label;
                EXPECT_EQ(p->Format(), depth == 16 || depth == 32 ? PixelFormat::FormatRGBA8888
                                                                  : PixelFormat::FormatRGB888);
                for (int y = 0; y < spec.height; ++y)
                    for (int x = 0; x < spec.width; ++x)
                        ASSERT_EQ(p->ReadPixel(x, y), ExpectedTgaPixel(spec, x, y))
                            << label << " at " << x << "," << y;
            }
}

TEST(TgaLoader, SixteenBitAlphaAndColourExpansion) {
    Bytes8 file = TgaHeader(2, 2, 1, 16);
    file.insert(file.end(), {0x00, 0x80, 0xFF, 0x7F});
    auto p = LoadFromBytes(file);
    ASSERT_TRUE(p);
    EXPECT_EQ(p->ReadPixel(0, 0), ARGB(0, 0, 0, 0));
    EXPECT_EQ(p->ReadPixel(1, 0), ARGB(255, 248, 248, 248));
}

TEST(TgaLoader, RunLengthPacketsCarryOnIntoTheNextRow) {
    // 24-bit grey pixels g are stored g, g, g; `rows` lists them top row first.
    struct Case {
        const char* label;
        int width, height, descriptor;
        Bytes8 packets;
        std::vector<Bytes8> rows;
    };
    const Case cases[] = {
        {"run across rows",
         3,
         2,
         0,
         {0x84, 7, 7, 7, 0x00, 200, 200, 200},
         {{7, 7, 200}, {7, 7, 7}}},
        {"literal across rows",
         3,
         2,
         0x20,
         {0x03, 1, 1, 1, 2, 2, 2, 3, 3, 3, 4, 4, 4, 0x81, 9, 9, 9},
         {{1, 2, 3}, {4, 9, 9}}},
        {"mirrored rows",
         2,
         2,
         0x30,
         {0x02, 1, 1, 1, 2, 2, 2, 3, 3, 3, 0x80, 4, 4, 4},
         {{2, 1}, {4, 3}}},
        {"run past the last row", 2, 2, 0, {0x89, 5, 5, 5}, {{5, 5}, {5, 5}}},
        {"literal past the last row", 2, 1, 0, {0x02, 6, 6, 6, 8, 8, 8}, {{6, 8}}},
    };
    for (const auto& c : cases) {
        Bytes8 file = TgaHeader(10, c.width, c.height, 24, c.descriptor);
        file.insert(file.end(), c.packets.begin(), c.packets.end());
        auto p = LoadFromBytes(file);
        ASSERT_TRUE(p) << c.label;
        for (int y = 0; y < c.height; ++y)
            for (int x = 0; x < c.width; ++x)
                EXPECT_EQ(p->ReadPixel(x, y), ARGB(255, c.rows[y][x], c.rows[y][x], c.rows[y][x]))
                    << c.label << " at " << x << "," << y;
    }
}

TEST(TgaLoader, RightToLeftRowsAreMirrored) {
    Bytes8 file = TgaHeader(2, 2, 1, 24, 0x10);
    file.insert(file.end(), {1, 1, 1, 2, 2, 2});
    auto p = LoadFromBytes(file);
    ASSERT_TRUE(p);
    EXPECT_EQ(p->ReadPixel(0, 0), 0xFF020202u);
}

TEST(TgaLoader, RefusesOtherKindsAndDamagedFiles) {
    Bytes8 pixels(4 * 4 * 3, 0x55);
    auto with = [&](Bytes8 header) {
        header.insert(header.end(), pixels.begin(), pixels.end());
        return LoadFromBytes(header);
    };
    EXPECT_TRUE(with(TgaHeader(2, 4, 4, 24)));
    EXPECT_FALSE(with(TgaHeader(1, 4, 4, 24)));    // colour-mapped, no map
    EXPECT_FALSE(with(TgaHeader(3, 4, 4, 24)));    // grey
    EXPECT_FALSE(with(TgaHeader(2, 4, 4, 8)));     // depth 8
    EXPECT_FALSE(with(TgaHeader(2, 4097, 4, 24))); // too wide
    EXPECT_FALSE(with(TgaHeader(2, 4, 0, 24)));
    Bytes8 mapped = TgaHeader(2, 4, 4, 24);
    mapped[1] = 1;
    EXPECT_FALSE(with(mapped));

    TgaSpec spec;
    spec.runLength = true;
    spec.depth = 32;
    for (bool runLength : {false, true}) {
        spec.runLength = runLength;
        auto file = MakeTga(spec);
        for (size_t cut : {size_t{5}, size_t{17}, size_t{18}, size_t{30}, file.size() - 1}) {
            EXPECT_FALSE(LoadFromBytes(Bytes8(file.begin(), file.begin() + cut)))
                << (runLength ? "RLE" : "raw") << " cut " << cut;
        }
    }
}
