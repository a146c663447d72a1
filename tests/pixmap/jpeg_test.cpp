#include "image_files.hpp"
#include "pixmap/jpeg_glue.hpp"
#include "test_support.hpp"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <jpeglib.h>

using namespace zandrel;
using namespace zandrel::test;

namespace {

// A JPEG made by libjpeg itself, for files the writer does not make.
Bytes8 EncodeWithLibjpeg(int width, int height, int components, J_COLOR_SPACE space) {
    jpeg_compress_struct cinfo;
    jpeg_error_mgr error;
    cinfo.err = jpeg_std_error(&error);
    jpeg_create_compress(&cinfo);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&cinfo, &buffer, &size);
    cinfo.image_width = width;
    cinfo.image_height = height;
    cinfo.input_components = components;
    cinfo.in_color_space = space;
    jpeg_set_defaults(&cinfo);
    jpeg_start_compress(&cinfo, TRUE);
    std::vector<uint8_t> row(static_cast<size_t>(width) * components);
    while (cinfo.next_scanline < cinfo.image_height) {
        for (size_t i = 0; i < row.size(); ++i)
            row[i] = static_cast<uint8_t>(i * 3 + cinfo.next_scanline * 5);
        JSAMPROW rows[1] = {row.data()};
        jpeg_write_scanlines(&cinfo, rows, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    Bytes8 bytes(buffer, buffer + size);
    std::free(buffer);
    return bytes;
}

Ref<TPixmap> Gradient(int width, int height) {
    auto p = CreatePixmap(width, height, PixelFormat::FormatRGB888);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            p->WritePixel(x, y, ARGB(255, x * 255 / width, y * 255 / height, 128));
    return p;
}

int LargestChannelError(const Ref<TPixmap>& a, const Ref<TPixmap>& b) {
    int worst = 0;
    for (int y = 0; y < a->Height(); ++y)
        for (int x = 0; x < a->Width(); ++x)
            for (int shift : {0, 8, 16}) {
                int d = static_cast<int>((a->ReadPixel(x, y) >> shift) & 255) -
                        static_cast<int>((b->ReadPixel(x, y) >> shift) & 255);
                worst = std::max(worst, std::abs(d));
            }
    return worst;
}

size_t ReadBank(void* buffer, size_t size, size_t count, void* stream) {
    return static_cast<size_t>(
               static_cast<TStream*>(stream)->Read(buffer, static_cast<int>(size * count))) /
           size;
}

size_t WriteBank(const void* buffer, size_t size, size_t count, void* stream) {
    return static_cast<size_t>(
               static_cast<TStream*>(stream)->Write(buffer, static_cast<int>(size * count))) /
           size;
}

} // namespace

TEST(JpegCodec, QualityHundredRoundTripsClosely) {
    TempFolder folder;
    auto source = Gradient(67, 45);
    for (PixelFormat format :
         {PixelFormat::FormatRGB888, PixelFormat::FormatBGRA8888, PixelFormat::FormatI8}) {
        auto p = source->Convert(format);
        ASSERT_TRUE(SavePixmapJPEG(p, folder / "out.jpg", 100));
        auto back = LoadPixmap(folder / "out.jpg");
        ASSERT_TRUE(back);
        EXPECT_EQ(back->Format(), PixelFormat::FormatRGB888); // the writer always writes colour
        EXPECT_EQ(back->Width(), 67);
        EXPECT_EQ(back->Height(), 45);
        EXPECT_LE(LargestChannelError(back, p), 6) << "format " << format;
    }
    ASSERT_TRUE(SavePixmapJPEG(source, folder / "low.jpg", 5));
    EXPECT_LT(LoadBytes(folder / "low.jpg").size(), LoadBytes(folder / "out.jpg").size());
}

TEST(JpegCodec, GreyLoadsAsI8AndCmykIsRefused) {
    auto grey = LoadFromBytes(EncodeWithLibjpeg(20, 10, 1, JCS_GRAYSCALE));
    ASSERT_TRUE(grey);
    EXPECT_EQ(grey->Format(), PixelFormat::FormatI8);
    EXPECT_EQ(grey->Pitch(), 20);
    EXPECT_NEAR(grey->PixelPtr(7, 3)[0], 7 * 3 + 3 * 5, 4);
    EXPECT_FALSE(LoadFromBytes(EncodeWithLibjpeg(20, 10, 4, JCS_CMYK)));
}

TEST(JpegCodec, DamagedFilesGiveNoPixmapAndNoMessage) {
    Bytes8 good = EncodeWithLibjpeg(64, 64, 3, JCS_RGB);
    ASSERT_TRUE(LoadFromBytes(good));
    testing::internal::CaptureStderr();
    for (size_t cut : {size_t{2}, size_t{30}, size_t{300}, good.size() / 2, good.size() - 2})
        EXPECT_FALSE(LoadFromBytes(Bytes8(good.begin(), good.begin() + cut))) << "cut at " << cut;
    Bytes8 noFrame = good;
    for (size_t i = 0; i + 1 < noFrame.size(); ++i)
        if (noFrame[i] == 0xFF && noFrame[i + 1] == 0xC0) noFrame[i + 1] = 0xCF; // unknown SOF
    EXPECT_FALSE(LoadFromBytes(noFrame));
    Bytes8 stray = good;
    stray[good.size() / 2] = 0xFF; // a marker in the middle of the scan
    stray[good.size() / 2 + 1] = 0xD9;
    EXPECT_FALSE(LoadFromBytes(stray));
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
}

TEST(JpegCodec, RefusesHugeDimensionsBeforeAllocating) {
    Bytes8 file = EncodeWithLibjpeg(8, 8, 3, JCS_RGB);
    for (size_t i = 0; i + 8 < file.size(); ++i) {
        if (file[i] == 0xFF && file[i + 1] == 0xC0) { // height and width: 60000 each
            file[i + 5] = file[i + 7] = 0xEA;
            file[i + 6] = file[i + 8] = 0x60;
        }
    }
    EXPECT_FALSE(LoadFromBytes(file));
}

TEST(JpegCodec, SmallFileForALargeImageStaysWithinTheLimit) {
    // Found by fuzzing: 97 bytes of arithmetic-coded data for a 15406 x 13057
    // grey image. It may load, but never beyond the pixel-memory limit.
    auto p = LoadPixmap(std::string(PIXMAP_DATA_DIR) + "/fuzz/jpeg-large-arithmetic.jpg");
    if (p) {
        EXPECT_EQ(p->Format(), PixelFormat::FormatI8);
        EXPECT_LE(int64_t{p->Pitch()} * p->Height(), MaxPixmapBytes);
    }
}

TEST(JpegCodec, GlueEncodesAndDecodesThroughFunctions) {
    auto p = Gradient(16, 8);
    auto bank = CreateBank(0);
    auto out = CreateBankStream(bank);
    ASSERT_EQ(JpegEncode(out.get(), WriteBank, 16, 8, p->Pitch(), p->Pixels(), 90), 0);
    auto in = CreateBankStream(bank);
    int width = 0, height = 0, components = 0;
    unsigned char* pixels = nullptr;
    ASSERT_EQ(JpegDecode(in.get(), ReadBank, &width, &height, &components, &pixels), 0);
    EXPECT_EQ(width, 16);
    EXPECT_EQ(height, 8);
    EXPECT_EQ(components, 3);
    EXPECT_NEAR(pixels[(2 * 16 + 15) * 3], 15 * 255 / 16, 8);
    std::free(pixels);

    auto garbage = CreateBankStream(CreateBank(50));
    EXPECT_EQ(JpegDecode(garbage.get(), ReadBank, &width, &height, &components, &pixels), -1);
    auto empty = CreateBankStream(CreateBank(0));
    EXPECT_EQ(JpegDecode(empty.get(), ReadBank, &width, &height, &components, &pixels), -1);
    uint8_t tiny[64];
    auto full = CreateMemoryStream(tiny, sizeof tiny, FileMode::Write);
    EXPECT_EQ(JpegEncode(full.get(), WriteBank, 16, 8, p->Pitch(), p->Pixels(), 90), 1);
}

TEST(JpegCodec, SaveReportsOutputThatCannotBeWritten) {
    auto p = Gradient(40, 40);
    EXPECT_FALSE(SavePixmapJPEG(p, "/no/such/folder/x.jpg", 80));
    uint8_t tiny[200];
    EXPECT_FALSE(SavePixmapJPEG(p, CreateMemoryStream(tiny, sizeof tiny, FileMode::Write), 80));
    EXPECT_FALSE(
        SavePixmapJPEG(CreatePixmap(0, 0, PixelFormat::FormatRGB888), CreateBankStream(), 80));
}
