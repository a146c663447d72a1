#include <gtest/gtest.h>
#include <zandrel/audio.hpp>
#include <zandrel/pixmap.hpp>

#include <algorithm>
#include <cmath>
#include <cstdlib>

using namespace zandrel;

namespace {

std::string ShowFile(const char* name) {
    return std::string(ZANDREL_SHOW_DIR) + "/" + name;
}

struct Expected {
    const char* name;
    int width, height;
    bool alpha; // sprites keep an alpha channel; masked pictures must have none
};

const Expected pictures[] = {
    {"saippua.jpg", 800, 600, false}, {"soaps.jpg", 800, 600, false},
    {"vurn.jpg", 800, 600, false},    {"thend.jpg", 800, 600, false},
    {"blow.png", 256, 256, true},     {"ost.png", 256, 256, true},
    {"seta.png", 128, 128, true},     {"seta2.png", 128, 128, false},
    {"brenti.png", 128, 128, true},   {"ilove.png", 600, 120, true},
    {"ilove2.png", 600, 120, false},
};

bool HasAlpha(PixelFormat format) {
    return format == PixelFormat::FormatRGBA8888 || format == PixelFormat::FormatBGRA8888;
}

} // namespace

TEST(ShowAssets, PicturesLoadWithTheirSizesAndFormats) {
    for (const auto& p : pictures) {
        auto pixmap = LoadPixmap(ShowFile(p.name));
        ASSERT_TRUE(pixmap) << p.name;
        EXPECT_EQ(pixmap->Width(), p.width) << p.name;
        EXPECT_EQ(pixmap->Height(), p.height) << p.name;
        EXPECT_EQ(HasAlpha(pixmap->Format()), p.alpha) << p.name;
    }
}

// The stills fill the screen and are opaque: no exact black for the mask to
// punch through.
TEST(ShowAssets, StillsHaveNoMaskedPixels) {
    for (const char* name : {"saippua.jpg", "soaps.jpg"}) {
        auto pixmap = ConvertPixmap(LoadPixmap(ShowFile(name)), PixelFormat::FormatRGBA8888);
        int black = 0;
        for (int y = 0; y < pixmap->Height(); ++y)
            for (int x = 0; x < pixmap->Width(); ++x)
                black += (pixmap->ReadPixel(x, y) & 0xFFFFFF) == 0;
        EXPECT_EQ(black, 0) << name;
    }
}

// Sprites on black: their background is exactly black, so the mask removes it.
TEST(ShowAssets, MaskedSpritesHaveABlackBackground) {
    for (const char* name : {"seta2.png", "ilove2.png"}) {
        auto pixmap = LoadPixmap(ShowFile(name));
        ASSERT_TRUE(pixmap);
        EXPECT_EQ(pixmap->ReadPixel(0, 0) & 0xFFFFFF, 0u) << name;
        EXPECT_NE(pixmap->ReadPixel(pixmap->Width() / 2, pixmap->Height() / 2) & 0xFFFFFF, 0u)
            << name;
    }
}

TEST(ShowAssets, MusicLengthAndPeak) {
    auto sample = LoadAudioSample(ShowFile("diskox.ogg"));
    ASSERT_TRUE(sample);
    EXPECT_EQ(sample->Hertz(), 44100);
    EXPECT_GE(sample->Length(), 164 * 44100);
    ASSERT_EQ(sample->Format(), SampleFormat::SampleStereo16LE);
    const auto* values = reinterpret_cast<const int16_t*>(sample->Samples());
    int peak = 0;
    int64_t count = int64_t(sample->Length()) * 2;
    for (int64_t i = 0; i < count; ++i)
        peak = std::max(peak, std::abs(int(values[i])));
    double peakDb = 20 * std::log10(peak / 32768.0);
    EXPECT_LE(peakDb, -1.0);
    EXPECT_GT(peakDb, -12.0); // and not needlessly quiet
    // Faded out by 163 s.
    int tailPeak = 0;
    for (int64_t i = int64_t(163) * 44100 * 2; i < count; ++i)
        tailPeak = std::max(tailPeak, std::abs(int(values[i])));
    EXPECT_LT(tailPeak, 33); // -60 dBFS
}
