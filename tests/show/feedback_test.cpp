#include "show.hpp"
#include <gtest/gtest.h>
#include <zandrel/graphics.hpp>
#include <zandrel/pixmap.hpp>
#include <zandrel/vex2d.hpp>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <optional>

using namespace zandrel;
using namespace zandrel::show;

namespace {

constexpr int W = 800, H = 600;

struct Rgb {
    int r, g, b;
};

// An 800 x 600 window with the 2D driver current and the effects ready.
class Feedback : public testing::Test {
protected:
    void SetUp() override {
        StartZandrel();
        SetGraphicsDriver(GLVex2DDriver(), GraphicsFlags::BackBuffer);
        ASSERT_TRUE(OpenGraphics(W, H));
        InitFeedback(W, H);
        SetBlendMode(BlendMode::Solid);
        SetClearColor(0, 0, 0);
        ClearScreen();
    }
    void TearDown() override { EndGraphics(); }

    static void Box(int x, int y, int w, int h, Rgb c) {
        SetColor(c.r, c.g, c.b);
        DrawRect(static_cast<float>(x), static_cast<float>(y), static_cast<float>(w),
                 static_cast<float>(h));
    }

    // Four blocks of colour in each quarter, none of them symmetric.
    static void Pattern() {
        const Rgb colours[] = {{200, 30, 30},  {30, 200, 30},  {30, 30, 200}, {200, 200, 30},
                               {30, 200, 200}, {200, 30, 200}, {120, 60, 10}, {10, 60, 120}};
        int k = 0;
        for (int y = 0; y < H; y += 150)
            for (int x = 0; x < W; x += 200)
                Box(x, y, 200, 150, colours[k++ % 8]);
        Box(40, 30, 60, 20, {255, 255, 255}); // breaks the top-left quarter's symmetry
    }

    static Ref<TPixmap> Frame() {
        return ConvertPixmap(GrabPixmap(0, 0, W, H), PixelFormat::FormatRGBA8888);
    }

    static Rgb At(const Ref<TPixmap>& p, int x, int y) {
        uint32_t argb = p->ReadPixel(x, y);
        return {int(argb >> 16 & 255), int(argb >> 8 & 255), int(argb & 255)};
    }

    static void ExpectNear(Rgb a, Rgb b, int tolerance, const char* where) {
        EXPECT_NEAR(a.r, b.r, tolerance) << where;
        EXPECT_NEAR(a.g, b.g, tolerance) << where;
        EXPECT_NEAR(a.b, b.b, tolerance) << where;
    }
};

// What the effects must leave as they found it: the render state.
struct RenderState {
    int red = 0, green = 0, blue = 0;
    float alpha = 0, rotation = 0, scaleX = 0, scaleY = 0, originX = 0, originY = 0;
    int viewport[4] = {};
    BlendMode blend{};
    std::optional<Camera2D> camera;

    static RenderState Read() {
        RenderState s;
        GetColor(s.red, s.green, s.blue);
        s.alpha = GetAlpha();
        s.rotation = GetRotation();
        GetScale(s.scaleX, s.scaleY);
        GetOrigin(s.originX, s.originY);
        GetViewport(s.viewport[0], s.viewport[1], s.viewport[2], s.viewport[3]);
        s.blend = GetBlendMode();
        s.camera = GetCamera();
        return s;
    }
    bool operator==(const RenderState& o) const {
        auto fields = [](const std::optional<Camera2D>& c) {
            return c ? std::array<float, 4>{c->centreX, c->centreY, c->zoom, c->rotation}
                     : std::array<float, 4>{};
        };
        return red == o.red && green == o.green && blue == o.blue && alpha == o.alpha &&
               rotation == o.rotation && scaleX == o.scaleX && scaleY == o.scaleY &&
               originX == o.originX && originY == o.originY &&
               std::equal(viewport, viewport + 4, o.viewport) && blend == o.blend &&
               fields(camera) == fields(o.camera) && camera.has_value() == o.camera.has_value();
    }
};

} // namespace

TEST(FeedbackSizes, SmallestPowerOfTwoFromTwoHundredFiftySix) {
    // Sizes only: no context needed until textures are made, so check the
    // refusal first and the sizes in the display tests below.
    EXPECT_THROW(InitFeedback(2049, 600), RuntimeError);
    EXPECT_THROW(InitFeedback(800, 4000), RuntimeError);
}

TEST_F(Feedback, TextureSizes) {
    const int cases[][4] = {{800, 600, 1024, 1024},
                            {256, 200, 256, 256},
                            {1024, 768, 1024, 1024},
                            {1025, 512, 2048, 512}};
    for (const auto& c : cases) {
        InitFeedback(c[0], c[1]);
        EXPECT_EQ(FeedbackTextureWidth(), c[2]) << c[0];
        EXPECT_EQ(FeedbackTextureHeight(), c[3]) << c[1];
    }
    InitFeedback(W, H);
}

// Each of the 15 zoomed copies of a flat frame adds its colour times the
// frame's, rounded to 8 bits as it is blended: weights are kept as floats
// (0.05 is not 13 / 255), halves go where single precision puts them, and the
// sum saturates.
TEST_F(Feedback, ZoomPassesAddUpAsBlendedBytes) {
    const struct {
        int level;
        float weight;
        int expected;
    } cases[] = {
        {128, 0.05f, 128 + 15 * 6}, // 6.4 a pass; a byte weight would give 6.5
        {100, 0.05f, 100 + 15 * 5}, {132, 0.05f, 132 + 15 * 7},
        {50, 0.05f, 50 + 15 * 3}, // halves round as the fixed-function path's floats do
        {90, 0.05f, 90 + 15 * 4},   {200, 0.15f, 255},
    };
    for (const auto& c : cases) {
        Box(0, 0, W, H, {c.level, c.level, c.level});
        FeedbackZoom(c.weight, c.weight, c.weight, 0.04f, 2.0f);
        ExpectNear(At(Frame(), W / 2, H / 2), {c.expected, c.expected, c.expected}, 0, "centre");
    }
}

TEST_F(Feedback, MirrorMakesFourFoldSymmetry) {
    Pattern();
    auto before = Frame();
    FeedbackMirror(0, 1.0f);
    auto after = Frame();
    for (int y = 0; y < H / 2; y += 7)
        for (int x = 0; x < W / 2; x += 9) {
            Rgb p = At(after, x, y);
            ExpectNear(p, At(before, x, y), 1, "top-left unchanged");
            ExpectNear(At(after, W - 1 - x, y), p, 1, "mirrored left to right");
            ExpectNear(At(after, x, H - 1 - y), p, 1, "mirrored top to bottom");
            ExpectNear(At(after, W - 1 - x, H - 1 - y), p, 1, "mirrored both ways");
            if (HasFailure()) return;
        }
}

TEST_F(Feedback, TilesShowReducedCopies) {
    Pattern();
    auto before = Frame();
    FeedbackTiles(2);
    auto after = Frame();
    // The centre of each block of the frame, in each of the four copies.
    for (int by = 0; by < 4; ++by)
        for (int bx = 0; bx < 4; ++bx) {
            int x = bx * 200 + 100, y = by * 150 + 75;
            if (bx == 0 && by == 0) continue; // the white mark sits in this block
            Rgb original = At(before, x, y);
            for (int ty = 0; ty < 2; ++ty)
                for (int tx = 0; tx < 2; ++tx)
                    ExpectNear(At(after, tx * W / 2 + x / 2, ty * H / 2 + y / 2), original, 2,
                               "tile");
        }
}

TEST_F(Feedback, BlurAddsTheClearColour) {
    SetClearColor(10, 20, 30);
    Box(0, 0, W, H, {100, 20, 30});
    FeedbackBlur();
    auto after = Frame();
    // Each of the eight additions is rounded to the frame buffer's 8 bits.
    ExpectNear(At(after, 400, 300), {110, 40, 60}, 4, "centre");
    ExpectNear(At(after, 100, 500), {110, 40, 60}, 4, "away from the edges");
}

TEST_F(Feedback, EffectsLeaveTheRendererAsTheyFoundIt) {
    SetBlendMode(BlendMode::Alpha);
    SetAlpha(0.5f);
    SetColor(10, 200, 30);
    SetClearColor(5, 6, 7);
    SetViewport(10, 20, 700, 500);
    SetTransform(30, 2, 0.5f);
    SetCamera(400, 300, 1, 0);
    using Effect = void (*)();
    const Effect effects[] = {
        [] { FeedbackZoom(0.15f, 0.1f, 0.1f, 0.04f, 2.0f); },
        [] { FeedbackTiles(3); },
        [] { FeedbackBlur(); },
        [] { FeedbackThumbnails(1, 0, 1.0f, 0.6f); },
        [] { FeedbackMirror(0, 1.0f); },
        [] { FeedbackPixelate(40, 1, 1, 1, 0.5f, 0.5f); },
    };
    for (Effect effect : effects) {
        RenderState before = RenderState::Read();
        effect();
        EXPECT_TRUE(RenderState::Read() == before);
    }
    // And drawing afterwards looks as it did before any effect.
    ClearCamera();
    SetTransform(0, 1, 1);
    SetViewport(0, 0, W, H);
    SetBlendMode(BlendMode::Solid);
    ClearScreen();
    Box(100, 100, 50, 50, {1, 2, 3});
    auto drawn = Frame();
    ExpectNear(At(drawn, 120, 120), {1, 2, 3}, 0, "box after effects");
    ExpectNear(At(drawn, 300, 300), {5, 6, 7}, 0, "clear colour after effects");
}
