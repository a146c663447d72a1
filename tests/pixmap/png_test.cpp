#include "image_files.hpp"
#include "test_support.hpp"

#include <gtest/gtest.h>
#include <png.h>
#include <zlib.h>

#include <csetjmp>
#include <cstdio>
#include <filesystem>

using namespace zandrel;
using namespace zandrel::test;

namespace {

// libpng's own decoding of a file, with the loader's transforms.
struct Reference {
    int width = 0, height = 0, colourType = -1;
    std::vector<std::vector<uint8_t>> rows;
};

bool DecodeWithLibpng(FILE* file, png_structp png, png_infop info, Reference& out) {
    if (setjmp(png_jmpbuf(png))) return false;
    png_init_io(png, file);
    png_read_png(png, info, PNG_TRANSFORM_STRIP_16 | PNG_TRANSFORM_EXPAND, nullptr);
    out.width = static_cast<int>(png_get_image_width(png, info));
    out.height = static_cast<int>(png_get_image_height(png, info));
    out.colourType = png_get_color_type(png, info);
    png_bytepp rows = png_get_rows(png, info);
    size_t rowBytes = png_get_rowbytes(png, info);
    for (int y = 0; y < out.height; ++y)
        out.rows.emplace_back(rows[y], rows[y] + rowBytes);
    return true;
}

Reference ReferenceDecode(const std::string& path) {
    Reference ref;
    FILE* file = std::fopen(path.c_str(), "rb");
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (!DecodeWithLibpng(file, png, info, ref)) ref.colourType = -1;
    png_destroy_read_struct(&png, &info, nullptr);
    std::fclose(file);
    return ref;
}

// The reference row in the loader's layout: grey+alpha spread to RGBA.
std::vector<uint8_t> ExpectedRow(const Reference& ref, int y) {
    if (ref.colourType != PNG_COLOR_TYPE_GRAY_ALPHA) return ref.rows[y];
    std::vector<uint8_t> row;
    for (int x = 0; x < ref.width; ++x)
        row.insert(row.end(), {ref.rows[y][x * 2], ref.rows[y][x * 2], ref.rows[y][x * 2],
                               ref.rows[y][x * 2 + 1]});
    return row;
}

PixelFormat FormatFor(int colourType) {
    switch (colourType) {
    case PNG_COLOR_TYPE_GRAY:
        return PixelFormat::FormatI8;
    case PNG_COLOR_TYPE_RGB:
        return PixelFormat::FormatRGB888;
    default:
        return PixelFormat::FormatRGBA8888;
    }
}

std::string SuiteFolder() {
    return std::string(PIXMAP_DATA_DIR) + "/pngsuite/png";
}

std::vector<std::string> SuiteFiles() {
    std::vector<std::string> names;
    for (auto& entry : std::filesystem::directory_iterator(SuiteFolder()))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

void PutChunk(Bytes8& file, const char* type, const Bytes8& data) {
    for (int shift = 24; shift >= 0; shift -= 8)
        file.push_back(static_cast<uint8_t>(data.size() >> shift));
    Bytes8 typed(type, type + 4);
    typed.insert(typed.end(), data.begin(), data.end());
    file.insert(file.end(), typed.begin(), typed.end());
    uint32_t crc = static_cast<uint32_t>(crc32(0, typed.data(), static_cast<uInt>(typed.size())));
    for (int shift = 24; shift >= 0; shift -= 8)
        file.push_back(static_cast<uint8_t>(crc >> shift));
}

// A PNG of the given colour type with one 8-bit row per entry of `rows`.
Bytes8 MakePng(int width, int colourType, const std::vector<Bytes8>& rows) {
    Bytes8 file = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
    Bytes8 header;
    for (uint32_t v : {static_cast<uint32_t>(width), static_cast<uint32_t>(rows.size())})
        for (int shift = 24; shift >= 0; shift -= 8)
            header.push_back(static_cast<uint8_t>(v >> shift));
    header.insert(header.end(), {8, static_cast<uint8_t>(colourType), 0, 0, 0});
    PutChunk(file, "IHDR", header);
    Bytes8 raw;
    for (auto& row : rows) {
        raw.push_back(0); // filter: none
        raw.insert(raw.end(), row.begin(), row.end());
    }
    Bytes8 packed(compressBound(static_cast<uLong>(raw.size())));
    uLongf size = packed.size();
    compress(packed.data(), &size, raw.data(), static_cast<uLong>(raw.size()));
    packed.resize(size);
    PutChunk(file, "IDAT", packed);
    PutChunk(file, "IEND", {});
    return file;
}

} // namespace

TEST(PngLoader, SuiteMatchesLibpngAndRefusesCorruptFiles) {
    int valid = 0, corrupt = 0;
    testing::internal::CaptureStderr();
    for (const auto& name : SuiteFiles()) {
        std::string path = SuiteFolder() + "/" + name;
        auto pixmap = LoadPixmap(path);
        if (name[0] == 'x') {
            EXPECT_FALSE(pixmap) << name;
            ++corrupt;
            continue;
        }
        ASSERT_TRUE(pixmap) << name;
        Reference ref = ReferenceDecode(path);
        ASSERT_NE(ref.colourType, -1) << name;
        ASSERT_EQ(pixmap->Width(), ref.width) << name;
        ASSERT_EQ(pixmap->Height(), ref.height) << name;
        ASSERT_EQ(pixmap->Format(), FormatFor(ref.colourType)) << name;
        for (int y = 0; y < ref.height; ++y) {
            auto expected = ExpectedRow(ref, y);
            std::vector<uint8_t> got(pixmap->PixelPtr(0, y),
                                     pixmap->PixelPtr(0, y) + expected.size());
            ASSERT_EQ(got, expected) << name << " row " << y;
        }
        ++valid;
    }
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    EXPECT_GE(valid, 150);
    EXPECT_EQ(corrupt, 14);
}

TEST(PngLoader, FormatsByColourType) {
    auto dir = SuiteFolder() + "/";
    EXPECT_EQ(LoadPixmap(dir + "basn3p08.png")->Format(), PixelFormat::FormatRGB888); // palette
    EXPECT_EQ(LoadPixmap(dir + "tbbn3p08.png")->Format(),
              PixelFormat::FormatRGBA8888);                                       // palette + tRNS
    EXPECT_EQ(LoadPixmap(dir + "basn0g01.png")->Format(), PixelFormat::FormatI8); // 1-bit grey
    auto deep = LoadPixmap(dir + "basn2c16.png");                                 // 16-bit samples
    EXPECT_EQ(deep->Format(), PixelFormat::FormatRGB888);
    EXPECT_EQ(deep->Pitch(), 96);
}

TEST(PngLoader, GreyAlphaSpreadsToRGBA) {
    auto p = LoadFromBytes(MakePng(2, PNG_COLOR_TYPE_GRAY_ALPHA, {{200, 100, 7, 255}}));
    ASSERT_TRUE(p);
    EXPECT_EQ(p->Format(), PixelFormat::FormatRGBA8888);
    EXPECT_EQ(p->ReadPixel(0, 0), ARGB(100, 200, 200, 200));
    EXPECT_EQ(p->ReadPixel(1, 0), ARGB(255, 7, 7, 7));
}

TEST(PngLoader, DamagedDataGivesNoPixmapAndNoMessage) {
    std::vector<Bytes8> rows;
    for (int y = 0; y < 16; ++y) {
        Bytes8 row;
        for (int x = 0; x < 48; ++x)
            row.push_back(static_cast<uint8_t>(x * y + x));
        rows.push_back(row);
    }
    Bytes8 good = MakePng(16, PNG_COLOR_TYPE_RGB, rows);
    ASSERT_TRUE(LoadFromBytes(good));
    testing::internal::CaptureStderr();
    for (size_t cut :
         {size_t{9}, size_t{20}, size_t{40}, good.size() / 2, good.size() - 13, good.size() - 1})
        EXPECT_FALSE(LoadFromBytes(Bytes8(good.begin(), good.begin() + cut))) << "cut at " << cut;
    Bytes8 damaged = good;
    for (size_t i = 45; i < 60; ++i)
        damaged[i] ^= 0x5A; // inside the IDAT data: CRC and zlib both fail
    EXPECT_FALSE(LoadFromBytes(damaged));
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
}

TEST(PngLoader, RefusesHugeDimensionsAndHugeChunks) {
    // A valid header claiming 100000 x 100000 pixels and a few bytes of data.
    Bytes8 file = MakePng(1, PNG_COLOR_TYPE_RGB, {{1, 2, 3}});
    Bytes8 huge = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
    PutChunk(huge, "IHDR", {0, 1, 0x86, 0xA0, 0, 1, 0x86, 0xA0, 8, 6, 0, 0, 0});
    huge.insert(huge.end(), file.begin() + 33, file.end());
    EXPECT_FALSE(LoadFromBytes(huge));
    // Found by fuzzing: a chunk header asking libpng for a 1.9 GB buffer.
    EXPECT_FALSE(LoadPixmap(std::string(PIXMAP_DATA_DIR) + "/fuzz/png-huge-chunk.png"));
}

TEST(PngWriter, EveryFormatRoundTrips) {
    TempFolder folder;
    const PixelFormat readBack[7] = {PixelFormat::FormatNone,     PixelFormat::FormatI8,
                                     PixelFormat::FormatRGBA8888, PixelFormat::FormatRGB888,
                                     PixelFormat::FormatRGB888,   PixelFormat::FormatRGBA8888,
                                     PixelFormat::FormatRGBA8888};
    for (int format = 1; format <= 6; ++format) {
        auto p = CreatePixmap(13, 7, Fmt(format));
        for (int y = 0; y < 7; ++y)
            for (int x = 0; x < 13; ++x)
                p->WritePixel(x, y, PatternPixel(x, y));
        for (int level : {0, 9}) {
            std::string path = folder / ("f" + std::to_string(format) + ".png");
            ASSERT_TRUE(SavePixmapPNG(p, path, level));
            auto back = LoadPixmap(path);
            ASSERT_TRUE(back) << format;
            EXPECT_EQ(back->Format(), readBack[format]);
            EXPECT_EQ(ArgbPixels(back), ArgbPixels(p)) << "format " << format;
        }
    }
}

TEST(PngWriter, ReportsOutputThatCannotBeWritten) {
    auto p = CreatePixmap(64, 64, PixelFormat::FormatRGBA8888);
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x)
            p->WritePixel(x, y, PatternPixel(x, y));
    EXPECT_FALSE(SavePixmapPNG(p, "/no/such/folder/out.png", 6));
    uint8_t small[100];
    auto full = CreateMemoryStream(small, sizeof small, FileMode::Write);
    EXPECT_FALSE(SavePixmapPNG(p, full, 6));
    EXPECT_FALSE(
        SavePixmapPNG(CreatePixmap(0, 0, PixelFormat::FormatRGB888), CreateBankStream(), 6));
    auto bank = CreateBank(0);
    EXPECT_TRUE(SavePixmapPNG(p, CreateBankStream(bank), 6));
    EXPECT_EQ(bank->GetByteAt(1), 'P');
}
