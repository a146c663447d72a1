// The image model without drawing: making, loading, cells, masks, handles,
// defaults and serialisation.
#include "vex2d_test_support.hpp"

#include "test_support.hpp"

using namespace zandrel;
using namespace zandrel::test;

TEST(Image, CreateMakesEmptyFramesOfTransparentBlack) {
    auto image = CreateImage(5, 3, 2, ImageFlags::NoFlags);
    ASSERT_TRUE(image);
    EXPECT_EQ(image->flags, ImageFlags::Dynamic);
    EXPECT_EQ(image->FrameCount(), 2);
    EXPECT_EQ(image->frames.size(), 2u);
    EXPECT_EQ(image->seqs[1], 0u);
    EXPECT_FALSE(image->pixmaps[0]);
    auto& pixmap = LockImage(image, 1);
    ASSERT_TRUE(pixmap);
    EXPECT_EQ(pixmap->Format(), PixelFormat::FormatRGBA8888);
    EXPECT_EQ(pixmap->Width(), 5);
    EXPECT_EQ(ReadPixel(pixmap, 4, 2), 0u);
    EXPECT_EQ(image->Lock(1, LockFor::Reading), pixmap); // made once
    EXPECT_THROW(image->Lock(2, LockFor::Reading), RuntimeError);
    EXPECT_THROW(image->Lock(-1, LockFor::Reading), RuntimeError);
    EXPECT_THROW(CreateImage(-1, 3), RuntimeError);
}

TEST(Image, MaskedPictureWithoutAlphaLosesItsMaskColour) {
    auto picture = FilledPixmap(4, 2, Rgb(200, 10, 10), PixelFormat::FormatRGB888);
    picture->WritePixel(1, 1, Black);
    auto image = TImage::Load(picture, ImageFlags::Masked, 0, 0, 0);
    ASSERT_TRUE(image);
    auto& pixmap = image->pixmaps[0];
    EXPECT_EQ(pixmap->Format(), PixelFormat::FormatRGBA8888);
    EXPECT_EQ(ReadPixel(pixmap, 1, 1) >> 24, 0u);
    EXPECT_EQ(ReadPixel(pixmap, 0, 0), Rgb(200, 10, 10));
    // Another mask colour.
    auto red = TImage::Load(picture, ImageFlags::Masked, 200, 10, 10);
    EXPECT_EQ(ReadPixel(red->pixmaps[0], 0, 0) >> 24, 0u);
    EXPECT_EQ(ReadPixel(red->pixmaps[0], 1, 1), Black);
    // Unmasked images keep the picture as it is.
    auto plain = TImage::Load(picture, ImageFlags::NoFlags, 0, 0, 0);
    EXPECT_EQ(plain->pixmaps[0], picture);
}

TEST(Image, MaskedPictureWithAlphaKeepsItsOwn) {
    auto picture = FilledPixmap(2, 2, 0x80000000u);
    auto image = TImage::Load(picture, ImageFlags::Masked, 0, 0, 0);
    EXPECT_EQ(image->pixmaps[0], picture);
    EXPECT_EQ(ReadPixel(image->pixmaps[0], 0, 0), 0x80000000u);
}

TEST(Image, LoadsFilesAndRefusesWhatIsNoPicture) {
    TempFolder folder;
    ASSERT_TRUE(SavePixmapPNG(PatternPixmap(12, 7, PixelFormat::FormatRGB888), folder / "p.png"));
    auto image = LoadImage(folder / "p.png", ImageFlags::Dynamic);
    ASSERT_TRUE(image);
    EXPECT_EQ(ImageWidth(image), 12);
    EXPECT_EQ(ImageHeight(image), 7);
    EXPECT_EQ(image->flags, ImageFlags::Dynamic);
    EXPECT_EQ(ReadPixel(image->pixmaps[0], 11, 6), PatternColour(11, 6));
    WriteFileText(folder / "not.png", "hello");
    EXPECT_FALSE(LoadImage(folder / "not.png"));
    EXPECT_FALSE(LoadImage(folder / "missing.png"));
    EXPECT_FALSE(LoadAnimImage(folder / "missing.png", 4, 4, 0, 1));
}

TEST(Image, AnimCellsRunAcrossThenDown) {
    auto strip = PatternPixmap(64, 32);
    auto image = LoadAnimImage(strip, 16, 16, 2, 6, ImageFlags::NoFlags);
    ASSERT_TRUE(image);
    EXPECT_EQ(image->FrameCount(), 6);
    EXPECT_EQ(ImageWidth(image), 16);
    const int corners[6][2] = {{32, 0}, {48, 0}, {0, 16}, {16, 16}, {32, 16}, {48, 16}};
    for (int i = 0; i < 6; ++i) {
        auto& cell = image->pixmaps[static_cast<size_t>(i)];
        EXPECT_EQ(cell->Width(), 16);
        EXPECT_EQ(ReadPixel(cell, 0, 0), ReadPixel(strip, corners[i][0], corners[i][1])) << i;
        EXPECT_EQ(ReadPixel(cell, 15, 15),
                  ReadPixel(strip, corners[i][0] + 15, corners[i][1] + 15));
        EXPECT_NE(cell->Capacity(), -1) << "a copy, not a view of the strip";
    }
    EXPECT_FALSE(LoadAnimImage(strip, 16, 16, 2, 7, ImageFlags::NoFlags));
    EXPECT_FALSE(LoadAnimImage(strip, 0, 16, 0, 1, ImageFlags::NoFlags));
    EXPECT_FALSE(LoadAnimImage(strip, 16, 16, -1, 2, ImageFlags::NoFlags));
    EXPECT_FALSE(LoadAnimImage(strip, 16, 16, 0, -1, ImageFlags::NoFlags));
}

TEST(Image, AutomaticMidHandleAppliesToImagesMadeAfterwards) {
    SetAutoMidHandle(1);
    auto image = LoadImage(PatternPixmap(100, 50), ImageFlags::NoFlags);
    EXPECT_EQ(image->handleX, 50.0f);
    EXPECT_EQ(image->handleY, 25.0f);
    auto created = CreateImage(10, 4);
    EXPECT_EQ(created->handleX, 5.0f);
    SetAutoMidHandle(0);
    EXPECT_EQ(image->handleX, 50.0f);
    EXPECT_EQ(LoadImage(PatternPixmap(100, 50), ImageFlags::NoFlags)->handleX, 0.0f);
    SetImageHandle(image, 3, 4);
    EXPECT_EQ(image->handleY, 4.0f);
}

// Each test runs in a process of its own, so no 2D context has been made yet.
TEST(Image, AutomaticFlagsAreZeroBeforeAnyTwoDContext) {
    EXPECT_EQ(LoadImage(PatternPixmap(2, 2))->flags, ImageFlags::NoFlags);
    AutoImageFlags(ImageFlags::Filtered);
    EXPECT_EQ(LoadImage(PatternPixmap(2, 2), ImageFlags::Auto)->flags, ImageFlags::Filtered);
    AutoImageFlags(ImageFlags::Auto); // changes nothing
    EXPECT_EQ(GetAutoImageFlags(), ImageFlags::Filtered);
    SetGraphicsDriver(GLVex2DDriver());
    ASSERT_TRUE(OpenGraphics(32, 32));
    EXPECT_EQ(LoadImage(PatternPixmap(2, 2))->flags, ImageFlags::Masked | ImageFlags::Filtered);
    EndGraphics();
}

TEST(Image, ModuleMaskColourGoesToNewImages) {
    SetMaskColor(1, 2, 3);
    int r, g, b;
    GetMaskColor(r, g, b);
    EXPECT_EQ(r + g + b, 6);
    auto picture = FilledPixmap(2, 1, Rgb(1, 2, 3), PixelFormat::FormatRGB888);
    auto image = LoadImage(picture, ImageFlags::Masked);
    EXPECT_EQ(image->maskBlue, 3);
    EXPECT_EQ(ReadPixel(image->pixmaps[0], 0, 0) >> 24, 0u);
    SetMaskColor(0, 0, 0);
}

TEST(Image, TravelsThroughADataStream) {
    auto image = TImage::Create(3, 2, 2, ImageFlags::Masked | ImageFlags::Mipmapped, 9, 8, 7);
    image->handleX = 1.5f;
    image->handleY = -2;
    image->SetPixmap(0, PatternPixmap(3, 2));
    EXPECT_EQ(image->DataType()->Name(), u"kvo.vex2d.TImage");
    auto bank = CreateBank();
    CreateDataStream(CreateBankStream(bank))->WriteObject(image);
    auto copy = As<TImage>(CreateDataStream(CreateBankStream(bank))->ReadObject());
    ASSERT_TRUE(copy);
    EXPECT_EQ(copy->width, 3);
    EXPECT_EQ(copy->height, 2);
    EXPECT_EQ(copy->flags, ImageFlags::Masked | ImageFlags::Mipmapped);
    EXPECT_EQ(copy->maskRed + copy->maskGreen + copy->maskBlue, 24);
    EXPECT_EQ(copy->handleX, 1.5f);
    EXPECT_EQ(copy->handleY, -2.0f);
    ASSERT_EQ(copy->FrameCount(), 2);
    EXPECT_FALSE(copy->pixmaps[1]);
    ASSERT_TRUE(copy->pixmaps[0]);
    EXPECT_EQ(ReadPixel(copy->pixmaps[0], 2, 1), PatternColour(2, 1));
    EXPECT_EQ(copy->seqs[0], 0u);

    // A frame count the data cannot hold is refused, not allocated.
    auto type = FindDataType(u"kvo.vex2d.TImage");
    ASSERT_TRUE(type);
    auto lying = CreateBank();
    auto writer = CreateBankStream(lying);
    for (int field : {3, 2, 0, 0, 0, 0})
        writer->WriteInt(field);
    writer->WriteFloat(0);
    writer->WriteFloat(0);
    writer->WriteInt(1 << 30);
    EXPECT_THROW(type->Read(*CreateBankStream(lying)), RuntimeError);
}

TEST(Image, NoImageIsAClearError) {
    EXPECT_THROW(ImageWidth(nullptr), RuntimeError);
    EXPECT_THROW(CentreImageHandle(nullptr), RuntimeError);
}
