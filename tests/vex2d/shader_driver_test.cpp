// The shader 2D driver: its selection, its contexts' profile, batching into
// draw calls and FlushDrawing. Its pixels are the whole suite's, which runs
// a second time with ZANDREL_GL=es.
#include "vex2d_test_support.hpp"

#include "graphics/gl_functions.hpp"
#include "graphics/gl_graphics.hpp"
#include "vex2d/gles_vex2d.hpp"

#include <cstdlib>
#include <functional>
#include <string_view>

using namespace zandrel;
using namespace zandrel::test;

namespace {

// Mesa gives a deleted texture's name to a new texture only when asked to, as
// other drivers do unasked: asked here for every test of this program (before
// any GL is loaded), so that none of them leans on names being new.
[[maybe_unused]] const bool texturesReuseNames = setenv("force_gl_names_reuse", "true", 0) == 0;

class ShaderDriver : public testing::Test {
protected:
    void SetUp() override {
        SetGraphicsDriver(GLES2DDriver());
        ASSERT_TRUE(OpenGraphics(64, 48));
    }
    void TearDown() override { EndGraphics(); }

    // Draw calls that `draw` and a flush after it send.
    int DrawCallsOf(const std::function<void()>& draw) {
        FlushDrawing();
        int before = TheGLES2DDriver().DrawCallsSoFar();
        draw();
        FlushDrawing();
        return TheGLES2DDriver().DrawCallsSoFar() - before;
    }

    static uint32_t PixelAt(int x, int y) { return ReadPixel(GrabPixmap(x, y, 1, 1), 0, 0); }

    // Straight from the GL, past the driver.
    static uint32_t RawPixel(int x, int y) {
        uint8_t rgba[4] = {};
        GL().ReadPixels(x, GraphicsHeight() - 1 - y, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, rgba);
        return 0xFF000000u | uint32_t{rgba[0]} << 16 | uint32_t{rgba[1]} << 8 | rgba[2];
    }
};

} // namespace

TEST(ShaderDriverSelection, ZandrelGLChoosesTheDriversOfEveryProgram) {
    const char* asked = std::getenv("ZANDREL_GL");
    std::string_view name = asked ? asked : "";
    bool shaders = name == "es" || name == "core";
    EXPECT_EQ(GLVex2DDriver() == GLES2DDriver(), shaders);
    EXPECT_EQ(GLGraphicsDriver() == GLESGraphicsDriver(), shaders);
    EXPECT_EQ(GLES2DDriver()->ToString(), u"OpenGL ES");
    SetGraphicsDriver(GLVex2DDriver());
    ASSERT_TRUE(OpenGraphics(32, 32));
    GLProfile expected = name == "es"     ? GLProfile::ES
                         : name == "core" ? GLProfile::Core
                                          : GLProfile::Compatibility;
    EXPECT_EQ(CurrentGLProfile(), expected);
    EndGraphics();
    EXPECT_EQ(CurrentGLProfile(), GLProfile::Compatibility) << "nothing current";
}

TEST_F(ShaderDriver, ContextsAreOfAShaderProfileWithTheirOwnSharedContext) {
    EXPECT_EQ(As<TVex2DGraphics>(CurrentGraphics())->driver, GLES2DDriver());
    GLProfile profile = CurrentGLProfile();
    ASSERT_NE(profile, GLProfile::Compatibility);
    std::string_view version = reinterpret_cast<const char*>(GL().GetString(GL_VERSION));
    EXPECT_EQ(version.rfind("OpenGL ES", 0) == 0, profile == GLProfile::ES) << version;
    EXPECT_TRUE(GLProcAddress("glDrawArrays"));
    EXPECT_FALSE(GLProcAddress(nullptr));
    // Textures come from the shared context of the same profile.
    TheGLGraphicsDriver().ToggleSharedContext();
    EXPECT_EQ(CurrentGLProfile(), profile);
    TheGLGraphicsDriver().ToggleSharedContext();
}

TEST_F(ShaderDriver, OneDrawCallForEachRunOfTextureBlendAndPrimitive) {
    auto red = LoadImage(FilledPixmap(4, 4, Rgb(255, 0, 0)), ImageFlags::NoFlags);
    auto blue = LoadImage(FilledPixmap(4, 4, Rgb(0, 0, 255)), ImageFlags::NoFlags);
    struct Case {
        const char* what;
        std::function<void()> draw;
        int calls;
    };
    const Case cases[] = {
        {"one image many times, turning",
         [&] {
             for (int i = 0; i < 100; ++i) {
                 SetRotation(static_cast<float>(i));
                 SetColor(i, 255 - i, 0); // colour goes with each vertex
                 DrawImage(red, 10, 10);
             }
             SetRotation(0);
         },
         1},
        {"two images taking turns",
         [&] {
             for (int i = 0; i < 3; ++i) {
                 DrawImage(red, 0, 0);
                 DrawImage(blue, 0, 0);
             }
         },
         6},
        {"rectangles, ovals and polygons",
         [&] {
             DrawRect(0, 0, 4, 4);
             DrawOval(5, 5, 10, 10);
             DrawPoly({0, 0, 9, 0, 0, 9});
         },
         1},
        {"a change of blend mode",
         [&] {
             DrawRect(0, 0, 4, 4);
             SetBlendMode(BlendMode::Alpha);
             DrawRect(0, 0, 4, 4);
             SetBlendMode(BlendMode::Mask);
         },
         2},
        {"lines, then points", [&] { DrawLine(0, 0, 9, 9); }, 2},
        {"nothing", [] {}, 0},
    };
    for (const auto& c : cases)
        EXPECT_EQ(DrawCallsOf(c.draw), c.calls) << c.what;
}

TEST_F(ShaderDriver, DrawingReachesTheGLAtFlushDrawing) {
    SetBlendMode(BlendMode::Solid);
    SetColor(0, 255, 0);
    DrawRect(0, 0, 8, 8);
    EXPECT_EQ(RawPixel(2, 2), Black) << "held back";
    FlushDrawing();
    EXPECT_EQ(RawPixel(2, 2), Rgb(0, 255, 0));
    // What GrabPixmap and Flip show is always drawn first.
    DrawRect(10, 0, 8, 8);
    EXPECT_EQ(PixelAt(12, 2), Rgb(0, 255, 0)) << "GrabPixmap";
    Flip(FlipSync::Immediate);
    EXPECT_EQ(TheGLES2DDriver().LastFrameDrawCalls(), 2) << "one for each flush";
}

// A batch in one colour takes it once for all its vertices; a batch of
// several keeps each shape's own.
TEST_F(ShaderDriver, EachShapeKeepsItsColourWhetherTheBatchHasOneOrMany) {
    SetBlendMode(BlendMode::Solid);
    SetColor(0, 0, 255);
    DrawRect(20, 0, 4, 4);
    FlushDrawing();
    SetColor(255, 0, 0);
    DrawRect(0, 0, 4, 4);
    SetColor(0, 255, 0);
    DrawRect(10, 0, 4, 4);
    EXPECT_EQ(PixelAt(22, 2), Rgb(0, 0, 255));
    EXPECT_EQ(PixelAt(2, 2), Rgb(255, 0, 0));
    EXPECT_EQ(PixelAt(12, 2), Rgb(0, 255, 0));
}

// Small quads take a batch's one colour as a uniform, large ones as the
// vertex colour: a tinted, translucent picture blends alike either way.
TEST_F(ShaderDriver, ATintBlendsAlikeOnSmallAndLargeQuads) {
    auto white = LoadImage(FilledPixmap(4, 4, Rgb(255, 255, 255)), ImageFlags::NoFlags);
    SetBlendMode(BlendMode::Alpha);
    SetColor(200, 100, 50);
    SetAlpha(0.5f);
    DrawImage(white, 0, 0);
    FlushDrawing(); // a batch of its own
    SetScale(10, 10);
    DrawImage(white, 10, 0);
    FlushDrawing();
    EXPECT_EQ(PixelAt(30, 20), PixelAt(2, 2));
    EXPECT_NE(PixelAt(2, 2), Black);
}

TEST(ShaderDriverFlush, WithoutAContextDoesNothing) {
    EndGraphics();
    EXPECT_NO_THROW(FlushDrawing());
}

// Quads share indices made once unless the batch also holds polygons; either
// way every shape lands where it was drawn.
TEST_F(ShaderDriver, QuadsAndPolygonsMixInOneBatch) {
    struct Case {
        const char* what;
        std::function<void()> draw;
    };
    auto triangle = [] { DrawPoly({30, 30, 40, 30, 30, 40}); };
    auto last = [] { DrawRect(50, 30, 4, 4); };
    const Case cases[] = {
        {"quads beyond the first shared indices",
         [&] {
             for (int i = 0; i < 5000; ++i)
                 DrawRect(static_cast<float>(i % 20), 0, 1, 1);
             triangle();
             last();
         }},
        {"a polygon first", [&] { triangle(), last(); }},
    };
    SetBlendMode(BlendMode::Solid);
    for (const auto& c : cases) {
        ClearScreen();
        EXPECT_EQ(DrawCallsOf(c.draw), 1) << c.what;
        EXPECT_EQ(PixelAt(32, 32), White) << c.what;
        EXPECT_EQ(PixelAt(52, 32), White) << c.what;
        EXPECT_EQ(PixelAt(45, 32), Black) << c.what;
    }
}

// The GL gives a deleted texture's name to the next one: draws still batched
// with a picture that goes keep its pixels, and the picture that takes the
// name shows its own.
TEST_F(ShaderDriver, ATextureNameUsedAgainAfterItsPictureWentWithDrawsBatched) {
    auto textureOf = [](const Ref<TImage>& image) {
        return As<TGLImageFrame>(image->Frame(0))->texture;
    };
    SetBlendMode(BlendMode::Solid);
    auto red = LoadImage(FilledPixmap(4, 4, Rgb(255, 0, 0)), ImageFlags::NoFlags);
    uint32_t name = textureOf(red);
    DrawImage(red, 0, 0);
    red = nullptr;
    auto blue = LoadImage(FilledPixmap(4, 4, Rgb(0, 0, 255)), ImageFlags::NoFlags);
    ASSERT_EQ(textureOf(blue), name);
    DrawImage(blue, 10, 0);
    EXPECT_EQ(PixelAt(2, 2), Rgb(255, 0, 0));
    EXPECT_EQ(PixelAt(12, 2), Rgb(0, 0, 255));
}
