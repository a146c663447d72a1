// Images as textures of the OpenGL 2D driver: margins, masks, filtering,
// frames made again for a new context or a changed pixmap.
#include "graphics/gl_graphics.hpp"
#include "vex2d/gl_vex2d.hpp"
#include "vex2d_test_support.hpp"

#include <GL/gl.h>

#include <vector>

using namespace zandrel;
using namespace zandrel::test;

namespace {

using ImageFrames = Vex2D;

struct Texels {
    int width = 0, height = 0;
    std::vector<uint32_t> rgba;
    uint32_t At(int x, int y) const { return rgba[static_cast<size_t>(y * width + x)]; }
};

Texels ReadTexture(uint32_t texture, int level = 0) {
    Texels t;
    GLint saved = 0;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &saved);
    glBindTexture(GL_TEXTURE_2D, texture);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, level, GL_TEXTURE_WIDTH, &t.width);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, level, GL_TEXTURE_HEIGHT, &t.height);
    t.rgba.resize(static_cast<size_t>(t.width * t.height));
    glGetTexImage(GL_TEXTURE_2D, level, GL_RGBA, GL_UNSIGNED_BYTE, t.rgba.data());
    glBindTexture(GL_TEXTURE_2D, static_cast<GLuint>(saved));
    return t;
}

GLint TextureParameter(uint32_t texture, GLenum name) {
    GLint saved = 0, value = 0;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &saved);
    glBindTexture(GL_TEXTURE_2D, texture);
    glGetTexParameteriv(GL_TEXTURE_2D, name, &value);
    glBindTexture(GL_TEXTURE_2D, static_cast<GLuint>(saved));
    return value;
}

Ref<TGLImageFrame> MakeFrame(const Ref<TPixmap>& pixmap, ImageFlags flags = ImageFlags::NoFlags) {
    return As<TGLImageFrame>(GLVex2DDriver()->CreateFrame(pixmap, flags));
}

} // namespace

TEST_F(ImageFrames, MarginRepeatsTheLastColumnAndRow) {
    ZANDREL_SKIP_UNLESS_FIXED_FUNCTION();
    auto picture = PatternPixmap(100, 50, PixelFormat::FormatRGB888);
    for (int y = 0; y < 50; ++y) // the pattern wraps past 25: keep the edges distinct
        picture->WritePixel(99, y, Rgb(1, y, 2));
    for (int x = 0; x < 100; ++x)
        picture->WritePixel(x, 49, Rgb(3, 4, x));
    auto frame = MakeFrame(picture);
    ASSERT_TRUE(frame);
    EXPECT_EQ(frame->uMax, 0.78125f);
    EXPECT_EQ(frame->vMax, 0.78125f);
    EXPECT_EQ(frame->uMin + frame->vMin, 0.0f);
    EXPECT_EQ(frame->seq, GraphicsSeq());
    auto texels = ReadTexture(frame->texture);
    ASSERT_EQ(texels.width, 128);
    ASSERT_EQ(texels.height, 64);
    auto argb = [&](int x, int y) { // texels are RGBA bytes in memory
        uint32_t v = texels.At(x, y);
        return (v & 0xFF00FF00u) | (v & 0xFF) << 16 | (v >> 16 & 0xFF);
    };
    for (int y = 0; y < 50; ++y)
        ASSERT_EQ(argb(100, y), ReadPixel(picture, 99, y)) << y;
    for (int x = 0; x < 100; ++x)
        ASSERT_EQ(argb(x, 50), ReadPixel(picture, x, 49)) << x;
    EXPECT_EQ(argb(100, 50), ReadPixel(picture, 99, 49));
    EXPECT_EQ(argb(7, 9), ReadPixel(picture, 7, 9));
    EXPECT_EQ(texels.At(101, 10), 0u); // the rest of the margin is transparent
    EXPECT_EQ(texels.At(10, 51), 0u);
    EXPECT_EQ(texels.At(127, 63), 0u);
    EXPECT_EQ(TextureParameter(frame->texture, GL_TEXTURE_WRAP_S), GL_CLAMP_TO_EDGE);
}

TEST_F(ImageFrames, PowerOfTwoPictureNeedsNoMargin) {
    ZANDREL_SKIP_UNLESS_FIXED_FUNCTION();
    auto picture = PatternPixmap(256, 256, PixelFormat::FormatBGRA8888);
    auto frame = MakeFrame(picture);
    EXPECT_EQ(frame->uMax, 1.0f);
    EXPECT_EQ(frame->vMax, 1.0f);
    auto texels = ReadTexture(frame->texture);
    EXPECT_EQ(texels.width, 256);
    uint32_t v = texels.At(20, 3); // R, G, B, A in memory
    EXPECT_EQ(v & 0xFF, 40u + 20 * 8);
    EXPECT_EQ(v >> 8 & 0xFF, 40u + 3 * 8);
}

TEST_F(ImageFrames, EmptyPictureMakesATinyTransparentTexture) {
    auto frame = MakeFrame(CreatePixmap(0, 0, PixelFormat::FormatRGBA8888));
    auto texels = ReadTexture(frame->texture);
    EXPECT_EQ(texels.width, 1);
    EXPECT_EQ(texels.At(0, 0), 0u);
    EXPECT_EQ(frame->uMax, 0.0f);
}

TEST_F(ImageFrames, FiltersAndMipmapsFollowTheImageFlags) {
    ZANDREL_SKIP_UNLESS_FIXED_FUNCTION();
    auto nearest = MakeFrame(PatternPixmap(8, 8));
    EXPECT_EQ(TextureParameter(nearest->texture, GL_TEXTURE_MAG_FILTER), GL_NEAREST);
    EXPECT_EQ(TextureParameter(nearest->texture, GL_TEXTURE_MIN_FILTER), GL_NEAREST);
    auto smooth = MakeFrame(PatternPixmap(8, 4), ImageFlags::Filtered | ImageFlags::Mipmapped);
    EXPECT_EQ(TextureParameter(smooth->texture, GL_TEXTURE_MAG_FILTER), GL_LINEAR);
    EXPECT_EQ(TextureParameter(smooth->texture, GL_TEXTURE_MIN_FILTER), GL_LINEAR_MIPMAP_LINEAR);
    auto level3 = ReadTexture(smooth->texture, 3);
    EXPECT_EQ(level3.width, 1);
    EXPECT_EQ(level3.height, 1);
    EXPECT_NE(level3.At(0, 0), 0u);
    auto blocky = MakeFrame(PatternPixmap(4, 4), ImageFlags::Mipmapped);
    EXPECT_EQ(TextureParameter(blocky->texture, GL_TEXTURE_MIN_FILTER), GL_NEAREST_MIPMAP_NEAREST);
    auto filtered = MakeFrame(PatternPixmap(4, 4), ImageFlags::Filtered);
    EXPECT_EQ(TextureParameter(filtered->texture, GL_TEXTURE_MIN_FILTER), GL_LINEAR);
}

TEST_F(ImageFrames, ReleasingAFrameDeletesItsTexture) {
    auto frame = MakeFrame(PatternPixmap(8, 8));
    uint32_t texture = frame->texture;
    EXPECT_TRUE(glIsTexture(texture));
    frame = nullptr;
    EXPECT_FALSE(glIsTexture(texture));
}

// The GL may hand a deleted texture's name out again. This context still
// holds the deleted texture bound, so the driver must not trust its cached
// binding of that name.
TEST_F(ImageFrames, ANameUsedAgainIsBoundAgain) {
    ZANDREL_SKIP_UNLESS_FIXED_FUNCTION();
    SetBlendMode(BlendMode::Solid);
    auto red = LoadImage(FilledPixmap(4, 4, Rgb(255, 0, 0)), ImageFlags::NoFlags);
    DrawImage(red, 0, 0);
    GLuint name = As<TGLImageFrame>(red->frames[0])->texture;
    red = nullptr;
    // Another picture under the same name, made where the driver makes them.
    TheGLGraphicsDriver().ToggleSharedContext();
    glBindTexture(GL_TEXTURE_2D, name);
    const uint32_t green[16] = {0xFF00FF00u, 0xFF00FF00u, 0xFF00FF00u, 0xFF00FF00u,
                                0xFF00FF00u, 0xFF00FF00u, 0xFF00FF00u, 0xFF00FF00u,
                                0xFF00FF00u, 0xFF00FF00u, 0xFF00FF00u, 0xFF00FF00u,
                                0xFF00FF00u, 0xFF00FF00u, 0xFF00FF00u, 0xFF00FF00u};
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, 4, 4, 0, GL_RGBA, GL_UNSIGNED_BYTE, green);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glBindTexture(GL_TEXTURE_2D, 0);
    glFinish();
    TheGLGraphicsDriver().ToggleSharedContext();
    TGLImageFrame frame;
    frame.texture = name;
    frame.uMax = frame.vMax = 1;
    frame.Draw(0, 0, 4, 4, 10, 0);
    EXPECT_EQ(PixelAt(11, 1), Rgb(0, 255, 0));
    frame.seq = 1; // deletes the texture
}

TEST_F(ImageFrames, MaskedBlackIsTransparent) {
    auto picture = FilledPixmap(6, 6, Rgb(250, 250, 0), PixelFormat::FormatRGB888);
    picture->WritePixel(2, 2, Black);
    picture->WritePixel(3, 2, Black);
    auto image = LoadImage(picture, ImageFlags::Masked);
    SetClearColor(0, 0, 200);
    ClearScreen();
    DrawImage(image, 50, 50); // blend Mask: alpha below one half is dropped
    EXPECT_EQ(PixelAt(52, 52), Rgb(0, 0, 200));
    EXPECT_EQ(PixelAt(53, 52), Rgb(0, 0, 200));
    EXPECT_EQ(PixelAt(54, 52), Rgb(250, 250, 0));
    SetBlendMode(BlendMode::Alpha);
    DrawImage(image, 80, 50);
    EXPECT_EQ(PixelAt(82, 52), Rgb(0, 0, 200));
    EXPECT_EQ(PixelAt(81, 52), Rgb(250, 250, 0));
    // Unmasked, black is drawn.
    SetBlendMode(BlendMode::Mask);
    DrawImage(LoadImage(picture, ImageFlags::NoFlags), 110, 50);
    EXPECT_EQ(PixelAt(112, 52), Black);
}

TEST_F(ImageFrames, ReopeningTheGraphicsRemakesTheFrameOnce) {
    auto image = LoadImage(PatternPixmap(8, 8), ImageFlags::NoFlags);
    SetBlendMode(BlendMode::Solid);
    DrawImage(image, 0, 0);
    auto first = image->frames[0];
    ASSERT_TRUE(first);
    EXPECT_EQ(image->seqs[0], GraphicsSeq());
    DrawImage(image, 20, 0);
    EXPECT_EQ(image->frames[0], first);
    std::weak_ptr<TImageFrame> old = first;
    first = nullptr;

    ASSERT_TRUE(OpenGraphics(Width, Height));
    SetBlendMode(BlendMode::Solid);
    DrawImage(image, 5, 5);
    auto second = image->frames[0];
    EXPECT_NE(second, nullptr);
    EXPECT_TRUE(old.expired()) << "the old frame and its texture are released";
    EXPECT_EQ(image->seqs[0], GraphicsSeq());
    DrawImage(image, 30, 5);
    EXPECT_EQ(image->frames[0], second);
    EXPECT_EQ(PixelAt(12, 12), PatternColour(7, 7));
    EXPECT_EQ(PixelAt(37, 12), PatternColour(7, 7));
}

TEST_F(ImageFrames, LockingForWritingRebuildsTheFrame) {
    auto image = LoadImage(FilledPixmap(4, 4, Rgb(255, 0, 0)), ImageFlags::NoFlags);
    SetBlendMode(BlendMode::Solid);
    DrawImage(image, 0, 0);
    auto frame = image->frames[0];
    image->Lock(0, LockFor::Reading);
    EXPECT_EQ(image->frames[0], frame);
    auto& pixmap = image->Lock(0, LockFor::Changing);
    EXPECT_FALSE(image->frames[0]);
    EXPECT_EQ(image->seqs[0], 0u);
    pixmap->WritePixel(0, 0, Rgb(0, 0, 255));
    DrawImage(image, 10, 0);
    EXPECT_EQ(PixelAt(10, 0), Rgb(0, 0, 255));
    EXPECT_EQ(PixelAt(11, 0), Rgb(255, 0, 0));
    EXPECT_THROW(DrawImage(image, 0, 0, 1), RuntimeError);
    EXPECT_THROW(DrawImage(nullptr, 0, 0), RuntimeError);
}

TEST_F(ImageFrames, GrabImageTakesTheBackBuffer) {
    SetBlendMode(BlendMode::Solid);
    DrawImage(LoadImage(PatternPixmap(10, 10), ImageFlags::NoFlags), 40, 30);
    auto image = CreateImage(10, 10, 2, ImageFlags::NoFlags);
    GrabImage(image, 40, 30, 1);
    EXPECT_EQ(ReadPixel(image->pixmaps[1], 9, 9), PatternColour(9, 9));
    // Masked: the black around the picture becomes transparent.
    auto masked = CreateImage(12, 12, 1, ImageFlags::Masked);
    GrabImage(masked, 39, 29);
    EXPECT_EQ(ReadPixel(masked->pixmaps[0], 0, 0) >> 24, 0u);
    EXPECT_EQ(ReadPixel(masked->pixmaps[0], 1, 1), PatternColour(0, 0));
    ClearScreen();
    DrawImage(image, 0, 0, 1);
    EXPECT_EQ(PixelAt(3, 4), PatternColour(3, 4));
}

TEST_F(ImageFrames, DrawnInASecondContextFromTheSameTexture) {
    auto image = LoadImage(PatternPixmap(8, 8), ImageFlags::NoFlags);
    SetBlendMode(BlendMode::Solid);
    DrawImage(image, 0, 0);
    auto frame = image->frames[0];
    auto second = CreateGraphics(64, 64);
    ASSERT_TRUE(second);
    SetGraphics(second);
    SetBlendMode(BlendMode::Solid);
    DrawImage(image, 4, 4);
    EXPECT_EQ(image->frames[0], frame); // the same context sequence: no new texture
    EXPECT_EQ(PixelAt(11, 11), PatternColour(7, 7));
    CloseGraphics(second);
}

// Drawing into a frame again and again goes through one framebuffer object,
// kept with the frame in the context that drew into it and deleted with the
// frame there, even while another context is current.
TEST_F(ImageFrames, ARenderTargetKeepsOneFramebufferUntilItsFrameGoes) {
    auto isFramebuffer = reinterpret_cast<GLboolean (*)(GLuint)>(GLProcAddress("glIsFramebuffer"));
    ASSERT_TRUE(isFramebuffer);
    auto drawing = CreateGraphics(64, 64), other = CreateGraphics(64, 64);
    ASSERT_TRUE(drawing && other);
    SetGraphics(drawing);
    auto image = CreateImage(30, 20, 1, ImageFlags::NoFlags);
    uint32_t kept = 0;
    for (int round = 1; round <= 3; ++round) {
        SetRenderTarget(image);
        auto frame = As<TGLImageFrame>(image->frames[0]);
        ASSERT_TRUE(frame);
        if (round == 1) kept = frame->framebuffer;
        EXPECT_EQ(frame->framebuffer, kept) << round;
        SetClearColor(round * 50, 0, 0);
        ClearScreen();
        EXPECT_EQ(PixelAt(29, 19), Rgb(round * 50, 0, 0));
        SetRenderTarget(nullptr);
        EXPECT_TRUE(isFramebuffer(kept)) << round;
    }
    SetGraphics(other);
    image = nullptr;
    SetGraphics(drawing);
    EXPECT_FALSE(isFramebuffer(kept));
    // One whose context has closed went with it.
    image = CreateImage(8, 8, 1, ImageFlags::NoFlags);
    SetRenderTarget(image);
    SetRenderTarget(nullptr);
    SetGraphics(other);
    CloseGraphics(drawing);
    image = nullptr;
    CloseGraphics(other);
}
