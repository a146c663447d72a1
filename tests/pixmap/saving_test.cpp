// The PNG and JPEG savers answer false for a picture that did not reach the
// disk, and a failed save keeps the old picture.
#include "image_files.hpp"
#include "test_support.hpp"

#include <gtest/gtest.h>

using namespace zandrel;
using namespace zandrel::test;

namespace {

using Saver = bool (*)(const Ref<TPixmap>&, const Url&, int);

struct Codec {
    const char* name;
    Saver save;
    int setting;
};

const Codec codecs[] = {{"PNG", SavePixmapPNG, 6}, {"JPEG", SavePixmapJPEG, 95}};

// Noise that neither codec can squeeze: 512 x 512 RGBA is 1 MiB of pixels.
Ref<TPixmap> Noise(int side) {
    auto pixmap = CreatePixmap(side, side, PixelFormat::FormatRGBA8888);
    uint32_t state = 2463534242u;
    for (int y = 0; y < side; ++y)
        for (int x = 0; x < side; ++x) {
            state ^= state << 13, state ^= state >> 17, state ^= state << 5;
            pixmap->WritePixel(x, y, state);
        }
    return pixmap;
}

Ref<TPixmap> Pattern(int side) {
    auto pixmap = CreatePixmap(side, side, PixelFormat::FormatRGB888);
    for (int y = 0; y < side; ++y)
        for (int x = 0; x < side; ++x)
            pixmap->WritePixel(x, y, PatternPixel(x, y));
    return pixmap;
}

} // namespace

TEST(PixmapSaving, FailedWritesAnswerFalse) {
    TempFolder folder;
    for (const Codec& codec : codecs) {
        EXPECT_FALSE(codec.save(Pattern(4), "/dev/full", codec.setting)) << codec.name;
        EXPECT_FALSE(codec.save(Noise(512), "/dev/full", codec.setting)) << codec.name;
        EXPECT_FALSE(codec.save(Pattern(4), folder / "missing/x", codec.setting)) << codec.name;
    }
}

TEST(PixmapSaving, AFullDiskKeepsTheOldPicture) {
    SmallFilesystem disk(64 << 10);
    if (!disk.Mounted()) GTEST_SKIP() << "mounting a small tmpfs needs root";
    for (const Codec& codec : codecs) {
        std::string path = disk / "picture";
        ASSERT_TRUE(codec.save(Pattern(32), path, codec.setting)) << codec.name;
        auto old = ArgbPixels(LoadPixmap(path));
        EXPECT_FALSE(codec.save(Noise(512), path, codec.setting)) << codec.name;
        auto kept = LoadPixmap(path);
        ASSERT_TRUE(kept) << codec.name;
        EXPECT_EQ(ArgbPixels(kept), old) << codec.name;
        EXPECT_EQ(ListFolder(FromBytes(disk.Path())), std::vector<String>{u"picture"});
    }
}
