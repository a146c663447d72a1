#include "../stream/stream_test_support.hpp"
#include "image_files.hpp"
#include "test_support.hpp"

#include <gtest/gtest.h>

using namespace zandrel;
using namespace zandrel::test;

namespace {

Bytes8 SmallPng() {
    auto p = CreatePixmap(3, 2, PixelFormat::FormatRGB888);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 3; ++x)
            p->WritePixel(x, y, PatternPixel(x, y));
    auto bank = CreateBank(0);
    SavePixmapPNG(p, CreateBankStream(bank), 6);
    return BankBytes(bank);
}

Bytes8 SmallJpeg() {
    auto bank = CreateBank(0);
    SavePixmapJPEG(CreatePixmap(8, 8, PixelFormat::FormatRGB888), CreateBankStream(bank), 75);
    return BankBytes(bank);
}

// Records where each call found the stream, reads a little and declines, or
// throws what it is told to.
class ProbeLoader : public TPixmapLoader {
public:
    Ref<TPixmap> LoadPixmap(const Ref<TStream>& stream) override {
        positions.push_back(stream->Pos());
        uint8_t scratch[5];
        stream->Read(scratch, sizeof scratch);
        if (throwRuntime) throw RuntimeError("probe failure");
        if (throwStream) throw TStreamReadError();
        return nullptr;
    }
    std::vector<int> positions;
    bool throwStream = false;
    bool throwRuntime = false;
};

} // namespace

TEST(PixmapLoaders, TryOrderIsTgaPngJpegBmp) {
    std::vector<std::string> order;
    for (auto* loader = FirstPixmapLoader(); loader; loader = loader->Next()) {
        if (dynamic_cast<TPixmapLoaderTGA*>(loader)) order.push_back("TGA");
        if (dynamic_cast<TPixmapLoaderPNG*>(loader)) order.push_back("PNG");
        if (dynamic_cast<TPixmapLoaderJPG*>(loader)) order.push_back("JPG");
        if (dynamic_cast<TPixmapLoaderBMP*>(loader)) order.push_back("BMP");
    }
    EXPECT_EQ(order, (std::vector<std::string>{"TGA", "PNG", "JPG", "BMP"}));
}

TEST(PixmapLoaders, EachLoaderRefusesTheOthersFiles) {
    BmpSpec bmpSpec;
    TgaSpec tgaSpec;
    const Bytes8 files[4] = {MakeTga(tgaSpec), SmallPng(), SmallJpeg(), MakeBmp(bmpSpec)};
    TPixmapLoaderTGA tga;
    TPixmapLoaderPNG png;
    TPixmapLoaderJPG jpg;
    TPixmapLoaderBMP bmp;
    TPixmapLoader* loaders[4] = {&tga, &png, &jpg, &bmp};
    for (int file = 0; file < 4; ++file)
        for (int loader = 0; loader < 4; ++loader) {
            Ref<TPixmap> p;
            try {
                p = loaders[loader]->LoadPixmap(StreamOver(files[file]));
            } catch (const TStreamError&) {
            }
            EXPECT_EQ(static_cast<bool>(p), file == loader)
                << "file " << file << " loader " << loader;
        }
}

TEST(PixmapLoaders, EveryLoaderStartsAtTheSamePosition) {
    ProbeLoader probe; // asked first while it exists
    Bytes8 bytes = {'j', 'u', 'n', 'k'};
    Bytes8 png = SmallPng();
    bytes.insert(bytes.end(), png.begin(), png.end());
    auto stream = StreamOver(bytes);
    stream->Seek(4);
    auto p = LoadPixmap(stream);
    ASSERT_TRUE(p);
    EXPECT_EQ(p->ReadPixel(2, 1), PatternPixel(2, 1) | 0xFF000000u);
    EXPECT_EQ(probe.positions, std::vector<int>{4});
    EXPECT_EQ(stream->Read(bytes.data(), 1) >= 0, true); // the caller's stream stays open

    probe.throwStream = true; // counts as a refusal
    EXPECT_TRUE(LoadPixmap(StreamOver(png)));
    probe.throwRuntime = true; // anything else reaches the caller
    EXPECT_THROW(LoadPixmap(StreamOver(png)), RuntimeError);
}

TEST(PixmapLoaders, StreamWithoutPositionIsNotOffered) {
    ProbeLoader probe;
    Bytes8 png = SmallPng();
    ScriptedSource unseekable(png, 64, false);
    auto stream = std::shared_ptr<TStream>(&unseekable, [](TStream*) {});
    EXPECT_FALSE(LoadPixmap(stream));
    EXPECT_TRUE(probe.positions.empty());
}

TEST(PixmapLoaders, StalledStreamsAndUnknownDataGiveNoPixmap) {
    TempFolder folder;
    EXPECT_FALSE(LoadPixmap(folder / "missing.png"));
    WriteFileBytes(folder / "empty.bin", {});
    EXPECT_FALSE(LoadPixmap(folder / "empty.bin"));
    WriteFileText(folder / "text.png", "not an image at all, just some words\n");
    EXPECT_FALSE(LoadPixmap(folder / "text.png"));
    BmpSpec spec;
    spec.bitCount = 8;
    for (const Bytes8& file : {SmallPng(), SmallJpeg(), MakeBmp(spec)}) {
        ScriptedSource stalling(file, 7, true, static_cast<int>(file.size()) - 20);
        EXPECT_FALSE(LoadPixmap(std::shared_ptr<TStream>(&stalling, [](TStream*) {})));
    }
    WriteFileBytes(folder / "picture.dat", SmallPng());
    EXPECT_TRUE(LoadPixmap(folder / "picture.dat")); // found by content, not by name
}

// No pixmap tells why: the open's reason, or that no loader knew the data.
TEST(PixmapLoaders, SayWhyNothingLoaded) {
    TempFolder folder;
    std::string text = folder / "text.png";
    SaveByteString(u"not a picture", FromUtf8(text));
    EXPECT_FALSE(LoadPixmap(folder / "missing.png"));
    EXPECT_EQ(LastLoadError(), u"no such file");
    EXPECT_FALSE(LoadPixmap(text));
    EXPECT_EQ(LastLoadError(), u"not a PNG, JPEG, BMP or TGA file");
}

TEST(ImageLoaders, SizeClaimsBeyondTheDataAllocateNothingForThem) {
    if (!AddressLimitsHold) GTEST_SKIP() << "the sanitizer reserves the address space";
    // 4096 x 4096 pixels of 32 bits claimed (64 MB), a few bytes held.
    Bytes8 bmp = {'B', 'M', 0, 0, 0,    0, 0, 0, 0,    0, 54, 0, 0, 0,  40,
                  0,   0,   0, 0, 0x10, 0, 0, 0, 0x10, 0, 0,  1, 0, 32, 0};
    bmp.resize(54 + 64, 0);
    Bytes8 tga = {0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x10, 0, 0x10, 32, 0};
    tga.resize(18 + 64, 0);
    for (const auto& [name, file] : {std::pair{"bmp", bmp}, std::pair{"tga", tga}}) {
        SCOPED_TRACE(name);
        const Bytes8& bytes = file; // a lambda cannot capture a structured binding in clang 14
        EXPECT_EQ(RunWithAddressHeadroom(32 << 20, [&] { return LoadFromBytes(bytes) ? 1 : 0; }),
                  0);
    }
}
