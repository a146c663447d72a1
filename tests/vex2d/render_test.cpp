// Render state: defaults, the driver's caches, blending, viewport, contexts.
#include "vex2d_test_support.hpp"

#include <GL/gl.h>

using namespace zandrel;
using namespace zandrel::test;

namespace {

using RenderState = Vex2D;

bool BlendOn() {
    return glIsEnabled(GL_BLEND) == GL_TRUE;
}

} // namespace

TEST_F(RenderState, FirstActivationSetsTheDefaults) {
    int r, g, b;
    GetColor(r, g, b);
    EXPECT_EQ(r + g + b, 3 * 255);
    EXPECT_EQ(GetAlpha(), 1.0f);
    EXPECT_EQ(GetBlendMode(), BlendMode::Mask);
    GetClearColor(r, g, b);
    EXPECT_EQ(r + g + b, 0);
    int x, y, w, h;
    GetViewport(x, y, w, h);
    EXPECT_EQ(x, 0);
    EXPECT_EQ(y, 0);
    EXPECT_EQ(w, Width);
    EXPECT_EQ(h, Height);
    float sx, sy;
    GetScale(sx, sy);
    EXPECT_EQ(sx, 1.0f);
    EXPECT_EQ(sy, 1.0f);
    EXPECT_EQ(GetRotation(), 0.0f);
    EXPECT_EQ(GetLineWidth(), 1.0f);
    EXPECT_EQ(GetAutoImageFlags(), ImageFlags::Masked | ImageFlags::Filtered);
    EXPECT_TRUE(GetImageFont());
    EXPECT_EQ(GetImageFont()->CountGlyphs(), 96);
    // Both buffers were cleared and flipped.
    EXPECT_EQ(CountLit(), 0);
    bool fixedFunction = CurrentGLProfile() == GLProfile::Compatibility;
    EXPECT_EQ(GLVex2DDriver()->ToString(), fixedFunction ? u"OpenGL" : u"OpenGL ES");
}

TEST_F(RenderState, HandleIsKeptNegatedButReadBackAsSet) {
    SetHandle(5, 7);
    float x, y;
    GetHandle(x, y);
    EXPECT_EQ(x, 5.0f);
    EXPECT_EQ(y, 7.0f);
    auto& state = *As<TVex2DGraphics>(CurrentGraphics());
    EXPECT_EQ(state.handleX, -5.0f);
    EXPECT_EQ(state.handleY, -7.0f);
    SetOrigin(3, 4);
    GetOrigin(x, y);
    EXPECT_EQ(x + y, 7.0f);
}

TEST_F(RenderState, RotationAndScaleMakeTheMatrix) {
    SetTransform(90, 2, 3);
    auto& s = *As<TVex2DGraphics>(CurrentGraphics());
    EXPECT_NEAR(s.ix, 0, 1e-6);
    EXPECT_NEAR(s.iy, -3, 1e-6);
    EXPECT_NEAR(s.jx, 2, 1e-6);
    EXPECT_NEAR(s.jy, 0, 1e-6);
    SetRotation(0);
    EXPECT_EQ(s.ix, 2.0f);
    EXPECT_EQ(s.jy, 3.0f);
}

TEST_F(RenderState, BlendModeReachesTheGLOnceUntilTheContextIsMadeCurrentAgain) {
    ZANDREL_SKIP_UNLESS_FIXED_FUNCTION();
    SetBlendMode(BlendMode::Light);
    EXPECT_TRUE(BlendOn());
    glDisable(GL_BLEND); // behind the driver's back
    SetBlendMode(BlendMode::Light);
    EXPECT_FALSE(BlendOn()) << "the cached mode was sent again";
    SetGraphics(CurrentGraphics());
    SetBlendMode(BlendMode::Light);
    EXPECT_TRUE(BlendOn());
    GLint source = 0, destination = 0;
    glGetIntegerv(GL_BLEND_SRC, &source);
    glGetIntegerv(GL_BLEND_DST, &destination);
    EXPECT_EQ(source, GL_SRC_ALPHA);
    EXPECT_EQ(destination, GL_ONE);
    SetBlendMode(BlendMode::Mask);
    EXPECT_FALSE(BlendOn());
    EXPECT_TRUE(glIsEnabled(GL_ALPHA_TEST));
    SetBlendMode(static_cast<BlendMode>(99)); // unknown modes are Solid
    EXPECT_FALSE(BlendOn());
    EXPECT_FALSE(glIsEnabled(GL_ALPHA_TEST));
}

TEST_F(RenderState, AlphaAndColourAreClampedIntoBytes) {
    ZANDREL_SKIP_UNLESS_FIXED_FUNCTION();
    float current[4];
    SetAlpha(1.5f);
    glGetFloatv(GL_CURRENT_COLOR, current);
    EXPECT_EQ(current[3], 1.0f);
    SetAlpha(0.5f);
    glGetFloatv(GL_CURRENT_COLOR, current);
    EXPECT_FLOAT_EQ(current[3], 127 / 255.0f);
    SetAlpha(-2);
    glGetFloatv(GL_CURRENT_COLOR, current);
    EXPECT_EQ(current[3], 0.0f);
    SetColor(300, -5, 128);
    glGetFloatv(GL_CURRENT_COLOR, current);
    EXPECT_EQ(current[0], 1.0f);
    EXPECT_EQ(current[1], 0.0f);
    EXPECT_FLOAT_EQ(current[2], 128 / 255.0f);
    int r, g, b;
    GetColor(r, g, b); // the state keeps what was asked for
    EXPECT_EQ(r, 300);
    EXPECT_EQ(g, -5);
}

// Background 100, 100, 100; a rectangle of 200, 50, 0 at alpha one half.
TEST_F(RenderState, EachBlendModeAgainstAKnownBackground) {
    struct Case {
        BlendMode mode;
        uint32_t expected;
    };
    const Case cases[] = {
        {BlendMode::Solid, Rgb(200, 50, 0)},
        {BlendMode::Alpha, Rgb(150, 75, 50)},   // (src + dst) / 2
        {BlendMode::Light, Rgb(200, 125, 100)}, // src / 2 + dst
        {BlendMode::Shade, Rgb(78, 20, 0)},     // src * dst
        {BlendMode::Mask, Rgb(100, 100, 100)},  // alpha 127 / 255 is below one half
    };
    SetClearColor(100, 100, 100);
    SetColor(200, 50, 0);
    for (const auto& c : cases) {
        ClearScreen();
        SetBlendMode(c.mode);
        SetAlpha(0.5f);
        DrawRect(10, 10, 20, 20);
        EXPECT_TRUE(ColourNear(PixelAt(15, 15), c.expected)) << "mode " << c.mode;
        EXPECT_EQ(PixelAt(35, 15), Rgb(100, 100, 100));
    }
    SetBlendMode(BlendMode::Mask);
    SetAlpha(0.51f);
    DrawRect(10, 10, 20, 20);
    EXPECT_EQ(PixelAt(15, 15), Rgb(200, 50, 0));
}

TEST_F(RenderState, APartialViewportScissors) {
    SetViewport(10, 20, 100, 50);
    GLint box[4];
    glGetIntegerv(GL_SCISSOR_BOX, box);
    EXPECT_TRUE(glIsEnabled(GL_SCISSOR_TEST));
    EXPECT_EQ(box[0], 10);
    EXPECT_EQ(box[1], Height - 20 - 50);
    EXPECT_EQ(box[2], 100);
    EXPECT_EQ(box[3], 50);
    SetColor(0, 255, 0);
    DrawRect(0, 0, Width, Height);
    EXPECT_EQ(PixelAt(10, 20), Rgb(0, 255, 0));
    EXPECT_EQ(PixelAt(109, 69), Rgb(0, 255, 0));
    EXPECT_EQ(PixelAt(9, 20), Black);
    EXPECT_EQ(PixelAt(110, 69), Black);
    EXPECT_EQ(PixelAt(10, 70), Black);
    EXPECT_EQ(CountLit(), 100 * 50);
    // Clearing keeps to the viewport as well.
    SetClearColor(0, 0, 255);
    ClearScreen();
    EXPECT_EQ(PixelAt(50, 50), Rgb(0, 0, 255));
    EXPECT_EQ(PixelAt(200, 200), Black);
    SetViewport(0, 0, Width, Height);
    EXPECT_FALSE(glIsEnabled(GL_SCISSOR_TEST));
}

TEST_F(RenderState, EachContextKeepsItsOwnState) {
    auto first = CurrentGraphics();
    SetColor(10, 20, 30);
    SetBlendMode(BlendMode::Light);
    auto second = CreateGraphics(64, 48);
    ASSERT_TRUE(second);
    SetGraphics(second);
    int r, g, b;
    GetColor(r, g, b);
    EXPECT_EQ(r, 255); // a new context starts from the defaults
    EXPECT_EQ(GetBlendMode(), BlendMode::Mask);
    int x, y, w, h;
    GetViewport(x, y, w, h);
    EXPECT_EQ(w, 64);
    EXPECT_EQ(h, 48);
    SetColor(1, 2, 3);
    SetGraphics(first);
    GetColor(r, g, b);
    EXPECT_EQ(r, 10);
    EXPECT_EQ(GetBlendMode(), BlendMode::Light);
    // The driver was given the colour again.
    SetBlendMode(BlendMode::Solid);
    DrawRect(0, 0, 1, 1);
    EXPECT_EQ(PixelAt(0, 0), Rgb(10, 20, 30));
    CloseGraphics(second);
}

// The blend mode is part of what a context keeps: back in the first context,
// drawing blends as it did before the other context was drawn in.
TEST_F(RenderState, AContextMadeCurrentAgainBlendsAsItDid) {
    auto first = CurrentGraphics();
    SetBlendMode(BlendMode::Solid);
    SetColor(0, 0, 200);
    DrawRect(0, 0, 4, 4);
    SetColor(200, 0, 0);
    SetBlendMode(BlendMode::Alpha);
    SetAlpha(0.5f);
    auto second = CreateGraphics(64, 48);
    ASSERT_TRUE(second);
    SetGraphics(second);
    SetBlendMode(BlendMode::Solid);
    DrawRect(0, 0, 4, 4);
    SetGraphics(first);
    DrawRect(0, 0, 4, 4);
    EXPECT_TRUE(ColourNear(PixelAt(1, 1), Rgb(100, 0, 100), 2));
    CloseGraphics(second);
}

TEST_F(RenderState, ApplyStateSendsTheStoredSettingsAgain) {
    ZANDREL_SKIP_UNLESS_FIXED_FUNCTION();
    SetColor(0, 255, 0);
    glColor3ub(255, 0, 0);    // behind the driver's back
    glDisable(GL_ALPHA_TEST); // blend mode Mask is still cached
    As<TVex2DGraphics>(CurrentGraphics())->ApplyState();
    float current[4];
    glGetFloatv(GL_CURRENT_COLOR, current);
    EXPECT_EQ(current[0], 0.0f);
    EXPECT_EQ(current[1], 1.0f);
}

TEST(RenderStateWithoutContext, CallsFailClearly) {
    SetGraphicsDriver(GLVex2DDriver());
    ASSERT_TRUE(OpenGraphics(64, 64));
    EndGraphics();
    EXPECT_THROW(SetColor(1, 2, 3), RuntimeError);
    EXPECT_THROW(DrawRect(0, 0, 4, 4), RuntimeError);
    try {
        GetBlendMode();
        FAIL() << "no error";
    } catch (const RuntimeError& error) {
        EXPECT_EQ(error.Message(), u"No 2D graphics is current");
    }
}

TEST(RenderStateWithoutContext, ClosedContextMadeCurrentIsNoContext) {
    SetGraphicsDriver(GLVex2DDriver());
    auto g = CreateGraphics(64, 64);
    ASSERT_TRUE(g);
    g->Close();
    SetGraphics(g);
    EXPECT_THROW(SetColor(1, 2, 3), RuntimeError);
    EXPECT_EQ(g->Driver(), GLVex2DDriver());
}
