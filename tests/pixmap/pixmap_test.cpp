#include "image_files.hpp"
#include "test_support.hpp"

#include <gtest/gtest.h>

#include <cstring>

using namespace zandrel;
using namespace zandrel::test;

namespace {

// A pixmap of every format holding the same four colours, for conversions.
Ref<TPixmap> FourColours(PixelFormat format) {
    auto p = CreatePixmap(4, 1, format);
    const uint32_t colours[4] = {0xFF102030, 0x80FFFFFF, 0x00000000, 0xC0A0B0C0};
    for (int x = 0; x < 4; ++x)
        p->WritePixel(x, 0, colours[x]);
    return p;
}

Ref<TPixmap> Grey(std::initializer_list<int> values) {
    auto p = CreatePixmap(static_cast<int>(values.size()), 1, PixelFormat::FormatRGBA8888);
    int x = 0;
    for (int v : values)
        p->WritePixel(x++, 0, ARGB(255, v, v, v));
    return p;
}

} // namespace

TEST(Pixmap, FormatTables) {
    const int bytes[7] = {0, 1, 1, 3, 3, 4, 4};
    for (int f = 0; f <= 6; ++f) {
        PixelFormat format = Fmt(f);
        EXPECT_EQ(BytesPerPixel[format], bytes[f]);
        EXPECT_EQ(BitsPerPixel[format], bytes[f] * 8);
        EXPECT_EQ(RedBits[format] + GreenBits[format] + BlueBits[format] + AlphaBits[format],
                  f == 1 ? 0 : BitsPerPixel[format]);
    }
    EXPECT_EQ(AlphaBits[PixelFormat::FormatA8], 8);
    EXPECT_EQ(AlphaBits[PixelFormat::FormatRGB888], 0);
    EXPECT_EQ(AlphaBits[PixelFormat::FormatBGRA8888], 8);
}

TEST(Pixmap, CreateAlignsRowsAndStaticPixmapsOwnNothing) {
    auto rgb = CreatePixmap(3, 2, PixelFormat::FormatRGB888, 4);
    EXPECT_EQ(rgb->Pitch(), 12);
    EXPECT_EQ(rgb->Capacity(), 24);
    EXPECT_EQ(CreatePixmap(5, 1, PixelFormat::FormatI8, 4)->Pitch(), 8);
    EXPECT_EQ(CreatePixmap(5, 1, PixelFormat::FormatI8, 1)->Pitch(), 5);
    EXPECT_EQ(CreatePixmap(5, 1, PixelFormat::FormatI8, 16)->Pitch(), 16);
    EXPECT_EQ(rgb->PixelPtr(2, 1), rgb->Pixels() + 12 + 6);

    uint8_t memory[32] = {};
    auto fixed = CreateStaticPixmap(memory, 4, 2, 16, PixelFormat::FormatRGBA8888);
    EXPECT_EQ(fixed->Capacity(), -1);
    fixed->WritePixel(1, 1, 0x11223344);
    EXPECT_EQ(memory[20], 0x22); // red first
    EXPECT_EQ(memory[23], 0x11);
    fixed.reset(); // must not free the caller's memory
    EXPECT_EQ(memory[21], 0x33);

    auto empty = New<TPixmap>();
    EXPECT_EQ(empty->Pixels(), nullptr);
    EXPECT_EQ(empty->Width() + empty->Height() + empty->Pitch() + ToNumber(empty->Format()), 0);
    EXPECT_THROW(CreatePixmap(1 << 20, 1 << 20, PixelFormat::FormatRGBA8888), RuntimeError);
}

TEST(Pixmap, ReadPixelInEveryFormat) {
    auto p = CreatePixmap(1, 1, PixelFormat::FormatI8);
    p->Pixels()[0] = 0x80;
    EXPECT_EQ(p->ReadPixel(0, 0), 0xFF808080u);
    p = CreatePixmap(1, 1, PixelFormat::FormatA8);
    p->Pixels()[0] = 0x40;
    EXPECT_EQ(p->ReadPixel(0, 0), 0x40FFFFFFu);
    const uint8_t bytes[4] = {1, 2, 3, 4};
    const uint32_t expected[7] = {0, 0, 0, 0xFF030201, 0xFF010203, 0x04030201, 0x04010203};
    for (int f = 3; f <= 6; ++f) {
        p = CreatePixmap(1, 1, Fmt(f));
        std::memcpy(p->Pixels(), bytes, BytesPerPixel[Fmt(f)]);
        EXPECT_EQ(p->ReadPixel(0, 0), expected[f]) << "format " << f;
    }
    uint8_t scratch[4] = {9, 9, 9, 9};
    auto bad = CreateStaticPixmap(scratch, 1, 1, 4, Fmt(9));
    EXPECT_EQ(bad->ReadPixel(0, 0), 0u);
    bad->WritePixel(0, 0, 0x12345678);
    EXPECT_EQ(scratch[0], 9);
}

TEST(Pixmap, WritePixelInEveryFormat) {
    const std::vector<std::vector<uint8_t>> stored = {{},
                                                      {0x56},
                                                      {0x12},
                                                      {0x78, 0x56, 0x34},
                                                      {0x34, 0x56, 0x78},
                                                      {0x78, 0x56, 0x34, 0x12},
                                                      {0x34, 0x56, 0x78, 0x12}};
    for (int f = 1; f <= 6; ++f) {
        auto p = CreatePixmap(2, 1, Fmt(f));
        std::memset(p->Pixels(), 0xEE, p->Capacity());
        p->WritePixel(1, 0, 0x12345678);
        std::vector<uint8_t> got(p->PixelPtr(1, 0), p->PixelPtr(1, 0) + BytesPerPixel[Fmt(f)]);
        EXPECT_EQ(got, stored[f]) << "format " << f;
        EXPECT_EQ(p->Pixels()[0], 0xEE) << "neighbour untouched, format " << f;
    }
}

TEST(Pixmap, ConversionsThroughThePivot) {
    // Every pair of formats agrees with converting one pixel by hand through
    // the ARGB value: exact wherever both formats keep the channel.
    for (int from = 1; from <= 6; ++from) {
        auto source = FourColours(Fmt(from));
        for (int to = 1; to <= 6; ++to) {
            auto result = source->Convert(Fmt(to));
            ASSERT_EQ(result->Format(), Fmt(to));
            auto direct = CreatePixmap(4, 1, Fmt(to));
            for (int x = 0; x < 4; ++x)
                direct->WritePixel(x, 0, source->ReadPixel(x, 0));
            EXPECT_EQ(ArgbPixels(result), ArgbPixels(direct)) << from << " -> " << to;
        }
    }
    EXPECT_EQ(
        FourColours(PixelFormat::FormatA8)->Convert(PixelFormat::FormatRGB888)->ReadPixel(0, 0),
        0xFFFFFFFFu);
    EXPECT_EQ(
        FourColours(PixelFormat::FormatRGB888)->Convert(PixelFormat::FormatA8)->ReadPixel(2, 0),
        0xFFFFFFFFu);
    EXPECT_EQ(
        FourColours(PixelFormat::FormatRGBA8888)->Convert(PixelFormat::FormatI8)->PixelPtr(0, 0)[0],
        (0x10 + 0x20 + 0x30) / 3);
}

TEST(Pixmap, LongRunsConvertLikeSinglePixels) {
    // Runs longer than the internal slices, between two non-pivot formats.
    constexpr int count = 1000;
    std::vector<uint8_t> bgr(count * 3), rgb(count * 3), back(count * 3);
    for (int i = 0; i < count * 3; ++i)
        bgr[i] = static_cast<uint8_t>(i * 7);
    ConvertPixels(bgr.data(), PixelFormat::FormatBGR888, rgb.data(), PixelFormat::FormatRGB888,
                  count);
    for (int i = 0; i < count; ++i) {
        ASSERT_EQ(rgb[i * 3], bgr[i * 3 + 2]);
        ASSERT_EQ(rgb[i * 3 + 1], bgr[i * 3 + 1]);
    }
    ConvertPixels(rgb.data(), PixelFormat::FormatRGB888, back.data(), PixelFormat::FormatBGR888,
                  count);
    EXPECT_EQ(back, bgr);
    std::vector<uint8_t> untouched(8, 0xAB);
    ConvertPixels(bgr.data(), Fmt(0), untouched.data(), PixelFormat::FormatRGB888, 2);
    ConvertPixels(bgr.data(), PixelFormat::FormatBGR888, untouched.data(), Fmt(7), 2);
    EXPECT_EQ(untouched, std::vector<uint8_t>(8, 0xAB));
}

TEST(Pixmap, WindowsShareMemoryAndPasteConverts) {
    auto parent = CreatePixmap(4, 4, PixelFormat::FormatRGBA8888);
    std::memset(parent->Pixels(), 0, parent->Capacity());
    auto window = parent->Window(1, 1, 2, 2);
    EXPECT_EQ(window->Capacity(), -1);
    EXPECT_EQ(window->Pitch(), parent->Pitch());
    window->WritePixel(1, 1, 0xFF00FF00);
    EXPECT_EQ(parent->ReadPixel(2, 2), 0xFF00FF00u);
    EXPECT_EQ(PixmapWindow(parent, 2, 2, 1, 1)->ReadPixel(0, 0), 0xFF00FF00u);

    auto grey = CreatePixmap(2, 2, PixelFormat::FormatI8);
    std::memset(grey->Pixels(), 0x40, grey->Capacity());
    parent->Paste(grey, 2, 0);
    EXPECT_EQ(parent->ReadPixel(2, 0), 0xFF404040u);
    EXPECT_EQ(parent->ReadPixel(3, 1), 0xFF404040u);
    EXPECT_EQ(parent->ReadPixel(1, 0), 0u);

    auto copy = window->Copy();
    EXPECT_EQ(copy->Capacity(), 16);
    EXPECT_NE(copy->Pixels(), window->Pixels());
    EXPECT_EQ(ArgbPixels(copy), ArgbPixels(window));
}

TEST(Pixmap, MaskMakesTheMaskColourTransparentAndBleeds) {
    auto black = CreatePixmap(3, 3, PixelFormat::FormatRGB888);
    std::memset(black->Pixels(), 0, black->Capacity());
    for (uint32_t pixel : ArgbPixels(MaskPixmap(black, 0, 0, 0)))
        EXPECT_EQ(pixel, 0u);

    black->WritePixel(2, 1, ARGB(255, 200, 0, 0));
    black->WritePixel(0, 0, ARGB(255, 10, 20, 30));
    auto masked = MaskPixmap(black, 0, 0, 0);
    EXPECT_EQ(masked->Format(), PixelFormat::FormatRGBA8888);
    EXPECT_EQ(masked->ReadPixel(2, 1), ARGB(255, 200, 0, 0));
    EXPECT_EQ(masked->ReadPixel(2, 2), ARGB(0, 200, 0, 0));
    EXPECT_EQ(masked->ReadPixel(1, 1), ARGB(0, 105, 10, 15)); // average of both neighbours
    EXPECT_EQ(masked->ReadPixel(0, 2), 0u);                   // no visible neighbour

    auto translucent = CreatePixmap(1, 1, PixelFormat::FormatBGRA8888);
    translucent->WritePixel(0, 0, ARGB(10, 1, 2, 3));
    EXPECT_EQ(MaskPixmap(translucent, 0, 0, 0)->ReadPixel(0, 0), ARGB(255, 1, 2, 3));
    EXPECT_EQ(MaskPixmap(translucent, 1, 2, 3)->ReadPixel(0, 0), 0u);
}

TEST(Pixmap, FlipsMirrorAndRestore) {
    auto p = CreatePixmap(5, 3, PixelFormat::FormatRGB888);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 5; ++x)
            p->WritePixel(x, y, PatternPixel(x, y));
    auto x = XFlipPixmap(p);
    auto y = YFlipPixmap(p);
    EXPECT_EQ(x->ReadPixel(0, 1), p->ReadPixel(4, 1));
    EXPECT_EQ(x->ReadPixel(4, 2), p->ReadPixel(0, 2));
    EXPECT_EQ(y->ReadPixel(1, 0), p->ReadPixel(1, 2));
    EXPECT_EQ(y->Format(), PixelFormat::FormatRGB888);
    EXPECT_EQ(ArgbPixels(XFlipPixmap(x)), ArgbPixels(p));
    EXPECT_EQ(ArgbPixels(YFlipPixmap(y)), ArgbPixels(p));
    auto row = p->Window(0, 1, 5, 1);
    EXPECT_EQ(ArgbPixels(YFlipPixmap(row)), ArgbPixels(row));
}

TEST(Pixmap, ResizeSamplesBilinearly) {
    auto pair = Grey({0, 255});
    auto wide = ResizePixmap(pair, 4, 1);
    std::vector<uint32_t> expected;
    for (int v : {0, 63, 191, 255})
        expected.push_back(ARGB(255, v, v, v));
    EXPECT_EQ(ArgbPixels(wide), expected);
    EXPECT_EQ(ResizePixmap(pair, 1, 1)->ReadPixel(0, 0), ARGB(255, 127, 127, 127));

    // Vertical sampling follows the same rule, and the format is kept.
    auto column = CreatePixmap(1, 2, PixelFormat::FormatI8);
    column->PixelPtr(0, 0)[0] = 0;
    column->PixelPtr(0, 1)[0] = 255;
    auto tall = ResizePixmap(column, 1, 4);
    EXPECT_EQ(tall->Format(), PixelFormat::FormatI8);
    EXPECT_EQ(tall->PixelPtr(0, 1)[0], 63);
    EXPECT_EQ(tall->PixelPtr(0, 2)[0], 191);

    // Same size: an exact copy; alpha is interpolated like the colours.
    auto p = FourColours(PixelFormat::FormatBGRA8888);
    EXPECT_EQ(ArgbPixels(ResizePixmap(p, 4, 1)), ArgbPixels(p));
    auto mixed = ResizePixmap(Grey({0, 255})->Convert(PixelFormat::FormatA8), 1, 1);
    EXPECT_EQ(mixed->Format(), PixelFormat::FormatA8);
}

TEST(Pixmap, DataStreamRoundTripWithoutRowPadding) {
    EXPECT_EQ(New<TPixmap>()->DataType(), New<TPixmap>()->DataType()); // one instance
    EXPECT_EQ(FindDataType(u"KVO.Pixmap.TPixmap"), New<TPixmap>()->DataType().get());
    auto p = CreatePixmap(3, 2, PixelFormat::FormatRGB888);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 3; ++x)
            p->WritePixel(x, y, PatternPixel(x, y));
    auto bank = CreateBank(0);
    CreateDataStream(CreateBankStream(bank))->WriteObject(p);
    // Type tag, name line, three ints and 2 rows of 9 bytes.
    EXPECT_EQ(bank->Size(), 1 + 20 + 12 + 18);
    auto back = As<TPixmap>(CreateDataStream(CreateBankStream(bank))->ReadObject());
    ASSERT_TRUE(back);
    EXPECT_EQ(back->Format(), PixelFormat::FormatRGB888);
    EXPECT_EQ(ArgbPixels(back), ArgbPixels(p));
}

TEST(Pixmap, DataStreamRefusesBadDimensions) {
    auto p = CreatePixmap(2, 2, PixelFormat::FormatRGBA8888);
    auto bank = CreateBank(0);
    CreateDataStream(CreateBankStream(bank))->WriteObject(p);
    int fields = bank->Size() - 16 - 12;
    auto readBack = [&] { return CreateDataStream(CreateBankStream(bank))->ReadObject(); };
    bank->SetIntAt(fields + 8, 7); // format
    EXPECT_THROW(readBack(), RuntimeError);
    bank->SetIntAt(fields + 8, ToNumber(PixelFormat::FormatRGBA8888));
    bank->SetIntAt(fields, 100000); // width larger than the data
    EXPECT_THROW(readBack(), RuntimeError);
    bank->SetIntAt(fields, -2);
    EXPECT_THROW(readBack(), RuntimeError);
}

// A record of a few bytes is refused before any work when its pixmap would be
// out of range, and an empty pixmap costs nothing whatever its other side.
TEST(Pixmap, DataStreamRecordsCostWhatTheyHold) {
    struct Case {
        int width, height;
        bool accepted;
    };
    const Case cases[] = {
        {0, 0x7FFFFFFF, false},    {0x7FFFFFFF, 0, false}, {0x40000000, 0, false},
        {0x20000, 0x20000, false}, {-1, 0, false},         {0, -1, false},
        {0, 1 << 20, true},        {5, 0, true},           {0, 256 << 20, true},
    };
    for (const auto& c : cases) {
        auto bank = CreateBank(0);
        auto out = CreateBankStream(bank);
        out->WriteByte(1);
        out->WriteLine(u"KVO.Pixmap.TPixmap");
        for (int field : {c.width, c.height, ToNumber(PixelFormat::FormatRGBA8888)})
            out->WriteInt(field);
        ASSERT_EQ(bank->Size(), 33);
        auto read = [&] {
            return As<TPixmap>(CreateDataStream(CreateBankStream(bank))->ReadObject());
        };
        if (!c.accepted) {
            EXPECT_THROW(read(), RuntimeError) << c.width << " x " << c.height;
            continue;
        }
        auto pixmap = read();
        ASSERT_TRUE(pixmap);
        EXPECT_EQ(pixmap->Width(), c.width);
        EXPECT_EQ(pixmap->Height(), c.height);
        EXPECT_GE(pixmap->Pitch(), 0);
        // Written back, its rows of no bytes take no time either.
        auto copy = CreateBank(0);
        CreateDataStream(CreateBankStream(copy))->WriteObject(pixmap);
        EXPECT_EQ(copy->Size(), 33);
    }
    EXPECT_THROW(CreatePixmap(0x7FFFFFFF, 0, PixelFormat::FormatRGBA8888), RuntimeError);
}
