// Copying what has been drawn into an image on the GPU, and the fine colour.
#include "vex2d_test_support.hpp"

namespace zandrel::test {

namespace {

using CopyToImageTest = Vex2D;

// The pattern drawn at 20, 10 on the display or into a 100 x 80 target.
Ref<TImage> DrawSource(bool intoTarget) {
    auto pattern = LoadImage(PatternPixmap(24, 20), ImageFlags::NoFlags);
    Ref<TImage> target;
    if (intoTarget) {
        target = CreateImage(100, 80, 1, ImageFlags::NoFlags);
        SetRenderTarget(target);
    }
    SetBlendMode(BlendMode::Solid);
    ClearScreen();
    DrawImage(pattern, 20, 10);
    return target;
}

} // namespace

// The copy drawn 1:1 shows the rectangle it was taken from, from either
// surface, whatever the viewport clips; a rectangle partly outside the
// surface leaves the image's pixels there as they were.
TEST_F(CopyToImageTest, TheCopyDrawsAsTheRectangleItCameFrom) {
    const struct {
        bool fromTarget;
        int x, y, width, height;
    } cases[] = {
        {false, 20, 10, 24, 20}, {false, 25, 12, 10, 6},    {true, 20, 10, 24, 20},
        {true, 25, 12, 10, 6},   {false, 300, 230, 24, 20},
    };
    for (const auto& c : cases) {
        auto copy = LoadImage(FilledPixmap(24, 20, Rgb(9, 9, 9)), ImageFlags::NoFlags);
        auto target = DrawSource(c.fromTarget);
        SetViewport(0, 0, 1, 1);
        CopyToImage(copy, c.x, c.y, c.width, c.height);
        SetViewport(0, 0, Width, Height);
        if (target) SetRenderTarget(nullptr);
        ClearScreen();
        DrawImage(copy, 0, 0);
        auto screen = Screen();
        for (int y = 0; y < 20; ++y)
            for (int x = 0; x < 24; ++x) {
                int sx = c.x + x - 20, sy = c.y + y - 10;
                bool copied = x < c.width && y < c.height;
                bool inside = c.x + x < Width && c.y + y < Height;
                uint32_t expected = !copied || !inside ? Rgb(9, 9, 9)
                                    : sx >= 0 && sx < 24 && sy >= 0 && sy < 20
                                        ? PatternColour(sx, sy)
                                        : Black;
                ASSERT_EQ(ReadPixel(screen, x, y), expected)
                    << x << ", " << y << " of the copy at " << c.x << ", " << c.y
                    << (c.fromTarget ? " from a target" : " from the display");
            }
    }
}

TEST_F(CopyToImageTest, RefusesWhatItCannotCopy) {
    auto image = CreateImage(16, 16, 2, ImageFlags::NoFlags);
    const struct {
        Ref<TImage> image;
        int width, frame;
        const char* message;
    } cases[] = {
        {nullptr, 8, 0, "Image is no object"},
        {image, 8, 2, "Image frame index out of range"},
        {image, 17, 0, "Copy rectangle larger than the image"},
        {image, 8, 1, "Image cannot be copied into itself"},
    };
    SetRenderTarget(image, 1);
    for (const auto& c : cases) {
        try {
            CopyToImage(c.image, 0, 0, c.width, 8, c.frame);
            ADD_FAILURE() << c.message;
        } catch (const RuntimeError& e) {
            EXPECT_EQ(ToUtf8(e.Message()), c.message);
        }
    }
    SetRenderTarget(nullptr);
}

// Fifteen copies added with a weight of 0.05 each add 0.05 of the picture's
// level fifteen times, rounded as each is blended; the nearest 1/255 step
// (13) would add 15 x 7 to a level of 128. GetColor gives the nearest steps,
// and a context made current again keeps the fine colour.
TEST_F(CopyToImageTest, FineColourWeighsCopiesAtSinglePrecision) {
    const struct {
        int level;
        float weight;
        int expected;
        bool otherContextBetween;
    } cases[] = {
        {128, 0.05f, 128 + 15 * 6}, {100, 0.05f, 100 + 15 * 5}, {50, 0.05f, 50 + 15 * 3},
        {90, 0.05f, 90 + 15 * 4},   {200, 0.15f, 255},          {128, 0.05f, 128 + 15 * 6, true},
    };
    auto own = CurrentGraphics(), other = CreateGraphics(16, 16);
    ASSERT_TRUE(other);
    for (const auto& c : cases) {
        auto picture =
            LoadImage(FilledPixmap(8, 8, Rgb(c.level, c.level, c.level)), ImageFlags::Filtered);
        SetBlendMode(BlendMode::Solid);
        SetColor(255, 255, 255);
        DrawImage(picture, 0, 0);
        SetBlendMode(BlendMode::Light);
        SetFineColor(c.weight, c.weight, c.weight);
        if (c.otherContextBetween) {
            SetGraphics(other);
            SetColor(255, 255, 255);
            SetGraphics(own);
        }
        for (int i = 0; i < 15; ++i)
            DrawImage(picture, 0, 0);
        EXPECT_TRUE(ColourNear(PixelAt(4, 4), Rgb(c.expected, c.expected, c.expected), 0))
            << c.level << " at " << c.weight;
        int red = 0, green = 0, blue = 0;
        GetColor(red, green, blue);
        EXPECT_EQ(red, static_cast<int>(c.weight * 255 + 0.5f));
    }
    CloseGraphics(other);
}

} // namespace zandrel::test
