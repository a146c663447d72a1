// Drawing read back from the back buffer: images under rotation and scale,
// origin and handle, primitives, tiles, pixmaps.
#include "graphics/gl_functions.hpp"
#include "vex2d/gl_vex2d.hpp"
#include "vex2d_test_support.hpp"

#include <algorithm>
#include <cmath>
#include <functional>

using namespace zandrel;
using namespace zandrel::test;

namespace {

using Drawing = Vex2D;

// An image of the pattern, unmasked, sampled nearest.
Ref<TImage> PatternImage(int width, int height) {
    return LoadImage(PatternPixmap(width, height), ImageFlags::NoFlags);
}

} // namespace

TEST_F(Drawing, ImageAtItsHandleUnrotated) {
    auto image = PatternImage(10, 20);
    SetBlendMode(BlendMode::Solid);
    DrawImage(image, 100, 100);
    auto screen = Screen();
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 10; ++x)
            ASSERT_EQ(ReadPixel(screen, 100 + x, 100 + y), PatternColour(x, y)) << x << "," << y;
    EXPECT_EQ(CountLit(), 200);
}

// A positive angle turns clockwise: the image's top edge runs straight down
// from its handle, and its left edge runs to the left.
TEST_F(Drawing, RotatedNinetyDegreesRunsDownFromTheHandle) {
    auto image = PatternImage(10, 20);
    SetBlendMode(BlendMode::Solid);
    SetRotation(90);
    DrawImage(image, 100, 100);
    auto screen = Screen();
    for (int ly = 0; ly < 20; ++ly)
        for (int lx = 0; lx < 10; ++lx)
            ASSERT_EQ(ReadPixel(screen, 99 - ly, 100 + lx), PatternColour(lx, ly))
                << lx << "," << ly;
    EXPECT_EQ(CountLit(), 200);
}

TEST_F(Drawing, NegativeScaleMirrorsAboutTheHandle) {
    auto image = PatternImage(10, 20);
    SetBlendMode(BlendMode::Solid);
    SetScale(-1, 1);
    DrawImage(image, 100, 100);
    auto screen = Screen();
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 10; ++x)
            ASSERT_EQ(ReadPixel(screen, 99 - x, 100 + y), PatternColour(x, y)) << x << "," << y;
    EXPECT_EQ(CountLit(), 200);
}

TEST_F(Drawing, DoubleScaleAboutACentredHandle) {
    auto image = PatternImage(10, 20);
    CentreImageHandle(image);
    SetBlendMode(BlendMode::Solid);
    SetScale(2, 2);
    DrawImage(image, 100, 100);
    auto screen = Screen();
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 20; ++x)
            ASSERT_EQ(ReadPixel(screen, 90 + x, 80 + y), PatternColour(x / 2, y / 2));
    EXPECT_EQ(CountLit(), 800);
}

TEST_F(Drawing, ImageRectStretchesButKeepsTheHandleInPixels) {
    auto image = PatternImage(10, 20);
    SetImageHandle(image, 2, 4);
    SetBlendMode(BlendMode::Solid);
    DrawImageRect(image, 100, 100, 20, 40);
    auto screen = Screen();
    // The rectangle runs from -handle to size - handle.
    EXPECT_EQ(ReadPixel(screen, 98, 96), PatternColour(0, 0));
    EXPECT_EQ(ReadPixel(screen, 117, 135), PatternColour(9, 19));
    EXPECT_EQ(CountLit(), 20 * 40);
}

TEST_F(Drawing, OriginShiftsPrimitivesAndImagesButNotPixmaps) {
    SetBlendMode(BlendMode::Solid);
    SetOrigin(10, 10);
    DrawRect(0, 0, 5, 5);
    EXPECT_EQ(PixelAt(10, 10), White);
    EXPECT_EQ(PixelAt(14, 14), White);
    EXPECT_EQ(PixelAt(9, 9), Black);
    Plot(50, 0);
    EXPECT_EQ(PixelAt(60, 10), White);
    DrawImage(PatternImage(4, 4), 100, 0);
    EXPECT_EQ(PixelAt(110, 10), PatternColour(0, 0));
    DrawPixmap(FilledPixmap(3, 3, Rgb(0, 0, 255)), 200, 0);
    EXPECT_EQ(PixelAt(200, 0), Rgb(0, 0, 255));
    EXPECT_EQ(PixelAt(210, 10), Black);
    // GrabPixmap ignores the origin too.
    EXPECT_EQ(ReadPixel(GrabPixmap(200, 0, 1, 1), 0, 0), Rgb(0, 0, 255));
}

TEST_F(Drawing, HandleMovesShapesAndTextButNotImages) {
    SetBlendMode(BlendMode::Solid);
    SetHandle(5, 5);
    DrawRect(20, 20, 4, 4);
    EXPECT_EQ(PixelAt(15, 15), White);
    EXPECT_EQ(PixelAt(18, 18), White);
    EXPECT_EQ(PixelAt(19, 19), Black);
    DrawOval(60, 60, 20, 20);
    EXPECT_EQ(PixelAt(65, 65), White); // the centre, moved by the handle
    EXPECT_EQ(PixelAt(75, 75), Black);
    DrawPoly({100, 100, 110, 100, 100, 110});
    EXPECT_EQ(PixelAt(96, 96), White);
    EXPECT_EQ(PixelAt(104, 96), Black);
    DrawLine(150, 20, 160, 20);
    EXPECT_EQ(PixelAt(150, 15), White);
    EXPECT_EQ(PixelAt(150, 20), Black);
    DrawImage(PatternImage(4, 4), 200, 50);
    EXPECT_EQ(PixelAt(200, 50), PatternColour(0, 0));
    // Text: the pen starts at the position less the handle.
    ClearScreen();
    DrawText(u"|", 250, 100);
    int lit = CountLit();
    ClearScreen();
    SetHandle(0, 0);
    DrawText(u"|", 245, 95);
    auto moved = Screen();
    EXPECT_EQ(CountLit(), lit);
    ClearScreen();
    SetHandle(5, 5);
    DrawText(u"|", 250, 100);
    auto handled = Screen();
    for (int y = 90; y < 120; ++y)
        for (int x = 240; x < 260; ++x)
            ASSERT_EQ(ReadPixel(handled, x, y), ReadPixel(moved, x, y));
}

TEST_F(Drawing, LinesPlotTheirLastPixelOnlyWhenAsked) {
    SetBlendMode(BlendMode::Solid);
    DrawLine(10, 10, 20, 10, 0);
    EXPECT_EQ(PixelAt(10, 10), White);
    EXPECT_EQ(PixelAt(19, 10), White);
    EXPECT_EQ(PixelAt(20, 10), Black);
    DrawLine(10, 30, 20, 30);
    EXPECT_EQ(PixelAt(20, 30), White);
    EXPECT_EQ(CountLit(), 10 + 11);
}

// Each pixel from the start up to the end, which is lit only when asked,
// whatever the direction: a rasteriser's rounding must not drop the first one.
TEST_F(Drawing, LinesLightTheirFirstPixelInEveryDirection) {
    SetBlendMode(BlendMode::Solid);
    const int directions[8][2] = {{1, 0}, {-1, 0},  {0, 1},  {0, -1},
                                  {1, 1}, {-1, -1}, {1, -1}, {-1, 1}};
    for (auto [startX, startY] : {std::pair{60, 60}, std::pair{150, 101}})
        for (auto [dx, dy] : directions)
            for (bool drawLastPixel : {false, true}) {
                ClearScreen();
                constexpr int length = 50;
                DrawLine(startX, startY, startX + dx * length, startY + dy * length, drawLastPixel);
                auto screen = Screen();
                SCOPED_TRACE(testing::Message() << "from " << startX << "," << startY << " by "
                                                << dx << "," << dy << " last " << drawLastPixel);
                for (int i = 0; i <= length; ++i) {
                    bool lit = ReadPixel(screen, startX + dx * i, startY + dy * i) != Black;
                    ASSERT_EQ(lit, i < length || drawLastPixel) << "pixel " << i;
                }
                EXPECT_EQ(CountLit(), length + drawLastPixel);
            }
}

// The line is turned with the rest: its local x axis points down at 90 degrees.
TEST_F(Drawing, LinesTurnWithTheRotation) {
    SetBlendMode(BlendMode::Solid);
    SetRotation(90);
    DrawLine(100, 100, 110, 100);
    for (int y : {105, 110})
        EXPECT_EQ(PixelAt(100, y), White) << y;
    for (int y : {90, 95})
        EXPECT_EQ(PixelAt(100, y), Black) << y;
    EXPECT_EQ(PixelAt(110, 100), Black);
    EXPECT_EQ(CountLit(), 11);
}

TEST_F(Drawing, RotatedRectangleTurnsAboutItsPosition) {
    SetBlendMode(BlendMode::Solid);
    SetRotation(90);
    DrawRect(100, 100, 30, 10);
    // 30 wide becomes 30 down; 10 high becomes 10 to the left.
    EXPECT_EQ(PixelAt(95, 110), White);
    EXPECT_EQ(PixelAt(95, 128), White);
    EXPECT_EQ(PixelAt(101, 110), Black);
    EXPECT_EQ(CountLit(), 300);
}

// Centre 100, 100 at the viewport's centre (160, 120), twice as large and
// turned a quarter clockwise: a 10 x 5 shape at the centre covers 20 pixels
// down and 10 to the left of the screen's centre, whichever way it is drawn.
TEST_F(Drawing, TheCameraZoomsAndTurnsTheWorldAboutItsCentre) {
    SetBlendMode(BlendMode::Solid);
    auto image = LoadImage(FilledPixmap(10, 5, White), ImageFlags::NoFlags);
    struct Case {
        const char* what;
        std::function<void()> draw;
    } cases[] = {
        {"rectangle", [] { DrawRect(100, 100, 10, 5); }},
        {"image", [&] { DrawImage(image, 100, 100); }},
        {"image under the origin", [&] { SetOrigin(50, 0), DrawImage(image, 50, 100); }},
        {"polygon",
         [] {
             DrawPoly({100, 100, 110, 100, 110, 105, 100, 105});
         }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ClearScreen();
        SetCamera(100, 100, 2, 90);
        c.draw();
        SetOrigin(0, 0);
        EXPECT_EQ(PixelAt(150, 120), White);
        EXPECT_EQ(PixelAt(159, 139), White);
        EXPECT_EQ(CountLit(), 200);
    }
    // The mouse over a screen pixel is over the world point drawn there.
    SetOrigin(10, 0);
    float x, y, sx, sy;
    ScreenToWorld(155, 130, x, y);
    EXPECT_FLOAT_EQ(x, 95);
    EXPECT_FLOAT_EQ(y, 102.5f);
    WorldToScreen(x, y, sx, sy);
    EXPECT_FLOAT_EQ(sx, 155);
    EXPECT_FLOAT_EQ(sy, 130);
    SetOrigin(0, 0);
    // Pushed and popped, cleared, refused.
    PushCamera();
    ClearCamera();
    EXPECT_FALSE(GetCamera());
    ClearScreen();
    DrawRect(100, 100, 10, 5);
    EXPECT_EQ(PixelAt(100, 100), White);
    PopCamera();
    ASSERT_TRUE(GetCamera());
    EXPECT_EQ(GetCamera()->zoom, 2);
    EXPECT_THROW(PopCamera(), RuntimeError);
    EXPECT_THROW(SetCamera(0, 0, 0), RuntimeError);
    EXPECT_THROW(SetCamera(NAN, 0), RuntimeError);
    EXPECT_EQ(GetCamera()->zoom, 2);
    ClearCamera();
}

// Pixels further apart than `tolerance` in red, green or blue. (An image
// keeps the alpha drawn into it, where the screen has none.)
int Differing(const Ref<TPixmap>& a, const Ref<TPixmap>& b, int tolerance = 1) {
    int count = 0;
    for (int y = 0; y < a->Height(); ++y)
        for (int x = 0; x < a->Width(); ++x)
            count += !ColourNear(ReadPixel(a, x, y) | Black, ReadPixel(b, x, y) | Black, tolerance);
    return count;
}

// A scene drawn into an image and the image drawn 1:1 gives the pixels of
// the scene drawn straight to the screen, clipped to the same rectangle.
TEST_F(Drawing, AnImageDrawnIntoShowsWhatTheScreenWouldHave) {
    constexpr int W = 100, H = 60; // not powers of two: the texture is larger
    auto sprite = PatternImage(7, 5);
    auto pixmap = PatternPixmap(9, 4);
    auto scene = [&] {
        SetClearColor(20, 40, 60);
        ClearScreen();
        SetBlendMode(BlendMode::Solid);
        SetColor(255, 255, 255);
        SetAlpha(1);
        DrawRect(-5, 50, 30, 20); // partly outside
        DrawLine(5, 5, 60, 30);
        SetRotation(30);
        DrawImage(sprite, 30, 20);
        SetRotation(0);
        DrawText("Hi", 70, 2);
        DrawPixmap(pixmap, 80, 50);
        SetBlendMode(BlendMode::Alpha);
        SetAlpha(0.5f);
        SetColor(255, 0, 0);
        DrawOval(40, 10, 50, 40);
        SetAlpha(1);
        SetColor(255, 255, 255);
    };
    SetViewport(0, 0, W, H);
    scene();
    auto direct = GrabPixmap(0, 0, W, H);
    SetViewport(0, 0, Width, Height);
    SetOrigin(3, 4);

    auto image = CreateImage(W, H, 1, ImageFlags::NoFlags);
    SetRenderTarget(image);
    EXPECT_EQ(GetRenderTarget(), image);
    int x, y, w, h;
    GetViewport(x, y, w, h);
    EXPECT_EQ(w * 1000 + h, W * 1000 + H);
    scene();
    EXPECT_EQ(Differing(GrabPixmap(0, 0, W, H), direct), 0) << "read from the image";
    SetRenderTarget(nullptr);
    GetViewport(x, y, w, h);
    EXPECT_EQ(w * 1000 + h, Width * 1000 + Height);
    float ox, oy;
    GetOrigin(ox, oy);
    EXPECT_EQ(ox + oy, 7);
    SetOrigin(0, 0);

    SetClearColor(0, 0, 0);
    ClearScreen();
    SetBlendMode(BlendMode::Solid);
    DrawImage(image, 0, 0);
    EXPECT_EQ(Differing(GrabPixmap(0, 0, W, H), direct), 0) << "the image drawn";
    EXPECT_EQ(PixelAt(W, 10), Black);
    EXPECT_EQ(PixelAt(10, H), Black);
    EXPECT_THROW(SetRenderTarget(image, 1), RuntimeError);
    EXPECT_THROW(SetRenderTarget(CreateImage(0, 5, 1, ImageFlags::NoFlags)), RuntimeError);
    EXPECT_FALSE(GetRenderTarget());
}

TEST_F(Drawing, OvalSegmentCounts) {
    EXPECT_EQ(OvalSegments(2, 2), 12);    // a 4 x 4 box
    EXPECT_EQ(OvalSegments(50, 30), 80);  // 100 x 60
    EXPECT_EQ(OvalSegments(7.9f, 7), 12); // 14.9 truncated, then down to a multiple of 4
    EXPECT_EQ(OvalSegments(-50, 33.5f), 80);
    EXPECT_EQ(OvalSegments(1e9f, 0), 4096); // bounded
    EXPECT_EQ(OvalSegments(std::numeric_limits<float>::quiet_NaN(), 0), 12);
}

TEST_F(Drawing, OvalFillsItsBox) {
    SetBlendMode(BlendMode::Solid);
    DrawOval(100, 100, 100, 60);
    EXPECT_EQ(PixelAt(150, 130), White);
    EXPECT_EQ(PixelAt(100, 130), White);
    EXPECT_EQ(PixelAt(199, 130), White);
    EXPECT_EQ(PixelAt(150, 100), White);
    EXPECT_EQ(PixelAt(150, 159), White);
    EXPECT_EQ(PixelAt(99, 130), Black);
    EXPECT_EQ(PixelAt(200, 130), Black);
    EXPECT_EQ(PixelAt(150, 160), Black);
    EXPECT_EQ(PixelAt(103, 103), Black); // outside the curve, inside the box
    int lit = CountLit();
    EXPECT_NEAR(lit, 3.14159 * 50 * 30, 60);
}

TEST_F(Drawing, PolygonsNeedThreePointsAndPairs) {
    SetBlendMode(BlendMode::Solid);
    DrawPoly({10, 10, 50, 10});
    DrawPoly({10, 10, 50, 10, 10, 50, 7});
    EXPECT_EQ(CountLit(), 0);
    SetOrigin(100, 0);
    DrawPoly({10, 10, 50, 10, 10, 50});
    EXPECT_EQ(PixelAt(112, 12), White);
    EXPECT_EQ(PixelAt(12, 12), Black);
    EXPECT_EQ(PixelAt(145, 45), Black);
}

TEST_F(Drawing, TileImageCoversTheViewportAlignedWithItsPosition) {
    auto image = PatternImage(16, 16);
    SetBlendMode(BlendMode::Solid);
    SetRotation(30); // tiles are never turned
    TileImage(image, 10, 5);
    auto screen = Screen();
    for (int y = 0; y < Height; ++y)
        for (int x = 0; x < Width; ++x)
            ASSERT_EQ(ReadPixel(screen, x, y), PatternColour((x + 6) % 16, (y + 11) % 16))
                << x << "," << y;
    // The same covering from a position a whole tile further on.
    ClearScreen();
    TileImage(image, 26, -11);
    auto again = Screen();
    for (int y = 0; y < Height; y += 7)
        for (int x = 0; x < Width; x += 5)
            ASSERT_EQ(ReadPixel(again, x, y), ReadPixel(screen, x, y));
    // The rotation is back in force afterwards.
    ClearScreen();
    SetRotation(90);
    DrawRect(100, 100, 30, 10);
    EXPECT_EQ(PixelAt(95, 128), White);
}

TEST_F(Drawing, TileImageStartsOneColumnLeftOfTheViewportAtMost) {
    auto image = PatternImage(16, 16);
    SetBlendMode(BlendMode::Solid);
    SetViewport(40, 30, 100, 50);
    TileImage(image, 41, 30);
    auto screen = Screen();
    EXPECT_EQ(ReadPixel(screen, 40, 30), PatternColour(15, 0));
    EXPECT_EQ(ReadPixel(screen, 41, 30), PatternColour(0, 0));
    EXPECT_EQ(ReadPixel(screen, 139, 79), PatternColour((139 - 41) % 16, 49 % 16));
    EXPECT_EQ(CountLit(), 100 * 50);
}

TEST_F(Drawing, GrabThenDrawPixmapReproducesThePixels) {
    SetBlendMode(BlendMode::Solid);
    DrawImage(PatternImage(20, 20), 30, 40);
    SetColor(255, 0, 0);
    DrawOval(45, 50, 30, 20);
    auto before = Screen();
    auto grabbed = GrabPixmap(25, 35, 60, 50);
    ASSERT_EQ(grabbed->Width(), 60);
    ClearScreen();
    SetBlendMode(BlendMode::Light); // pixmaps are drawn solid whatever the blend
    SetOrigin(7, 7);
    DrawPixmap(grabbed, 25, 35);
    EXPECT_EQ(GetBlendMode(), BlendMode::Light);
    auto after = Screen();
    for (int y = 0; y < Height; ++y)
        for (int x = 0; x < Width; ++x)
            ASSERT_EQ(ReadPixel(after, x, y), ReadPixel(before, x, y)) << x << "," << y;
}

// Every pixel as it is, its alpha whatever it may be, untouched by the
// blend, colour, origin, handle and rotation; clipped at the context's edge,
// and seamless where the pixmap is wider than a texture may be. The drawing
// that follows has its own state again.
TEST_F(Drawing, DrawPixmapCopiesEveryPixelAndKeepsTheState) {
    GLint largest = 0;
    GL().GetIntegerv(GL_MAX_TEXTURE_SIZE, &largest);
    auto texel = [](int x, int y) {
        auto a = static_cast<uint32_t>(x * 53 + y * 97) & 255;
        return a << 24 | static_cast<uint32_t>(x & 255) << 16 |
               static_cast<uint32_t>(x >> 8 & 255) << 8 | static_cast<uint32_t>(20 + y * 40);
    };
    struct Case {
        int width, height, x, y;
    };
    const Case cases[] = {
        {7, 5, 13, 9},                     // odd sizes
        {7, 5, -3, Height - 2},            // partly outside
        {largest + 3, 2, 2 - largest, 30}, // the last five columns, across two textures
    };
    for (const auto& c : cases) {
        auto pixmap = CreatePixmap(c.width, c.height, PixelFormat::FormatRGBA8888);
        for (int y = 0; y < c.height; ++y)
            for (int x = 0; x < c.width; ++x)
                pixmap->WritePixel(x, y, texel(x, y));
        ClearScreen();
        SetBlendMode(BlendMode::Mask);
        SetColor(255, 0, 0);
        SetAlpha(0.5f);
        SetOrigin(10, 10);
        SetHandle(5, 5);
        SetRotation(30);
        DrawPixmap(pixmap, c.x, c.y);
        SetOrigin(0, 0);
        SetHandle(0, 0);
        SetRotation(0);
        DrawRect(100, 100, 4, 4); // alpha below the mask's half: nothing
        auto screen = Screen();
        for (int y = std::max(c.y - 1, 0); y < std::min(c.y + c.height + 1, Height); ++y)
            for (int x = std::max(c.x - 1, 0); x < std::min(c.x + c.width + 1, Width); ++x) {
                bool inside = x >= c.x && x < c.x + c.width && y >= c.y && y < c.y + c.height;
                uint32_t expected = inside ? texel(x - c.x, y - c.y) : Black;
                ASSERT_EQ(ReadPixel(screen, x, y) & 0xFFFFFF, expected & 0xFFFFFF)
                    << c.width << "x" << c.height << " at " << x << "," << y;
            }
        EXPECT_EQ(ReadPixel(screen, 101, 101), Black) << c.width;
    }
}

TEST_F(Drawing, GrabOutsideTheContextReadsTransparentBlack) {
    SetClearColor(0, 0, 255);
    ClearScreen();
    auto grabbed = GrabPixmap(Width - 2, -2, 4, 4);
    EXPECT_EQ(ReadPixel(grabbed, 0, 3), Rgb(0, 0, 255));
    EXPECT_EQ(ReadPixel(grabbed, 3, 3), 0u);
    EXPECT_EQ(ReadPixel(grabbed, 0, 0), 0u);
}

TEST_F(Drawing, ColourAndAlphaTintImages) {
    auto image = LoadImage(FilledPixmap(8, 8, White), ImageFlags::NoFlags);
    SetBlendMode(BlendMode::Alpha);
    SetColor(255, 128, 0);
    SetAlpha(1);
    DrawImage(image, 10, 10);
    EXPECT_TRUE(ColourNear(PixelAt(12, 12), Rgb(255, 128, 0)));
    SetAlpha(0.5f);
    DrawImage(image, 30, 10);
    EXPECT_TRUE(ColourNear(PixelAt(32, 12), Rgb(127, 64, 0)));
}

// Texels of alpha 0, 1 and 255 in white: clear ones leave the background
// exactly, the faintest still adds its one unit.
TEST_F(Drawing, FaintTexelsStillBlendAndClearOnesLeaveThePixel) {
    auto pixmap = CreatePixmap(3, 1, PixelFormat::FormatRGBA8888);
    const uint32_t alphas[3] = {0, 1, 255};
    for (int x = 0; x < 3; ++x)
        pixmap->WritePixel(x, 0, alphas[x] << 24 | 0xFFFFFFu);
    auto image = LoadImage(pixmap, ImageFlags::NoFlags);
    struct Case {
        BlendMode mode;
        int background;
        int expected[3];
    };
    const Case cases[] = {
        {BlendMode::Alpha, 0, {0, 1, 255}},
        {BlendMode::Light, 100, {100, 101, 255}},
    };
    for (const auto& c : cases) {
        SetClearColor(c.background, c.background, c.background);
        ClearScreen();
        SetBlendMode(c.mode);
        DrawImage(image, 10, 10);
        for (int x = 0; x < 3; ++x) {
            int v = c.expected[x];
            EXPECT_EQ(PixelAt(10 + x, 10), Rgb(v, v, v)) << "mode " << c.mode << " texel " << x;
        }
    }
}
