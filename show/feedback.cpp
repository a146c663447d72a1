// Full-screen passes over the back buffer. They talk to OpenGL beside the 2D
// driver, so each one saves what it touches and puts it back. Each effect is
// written once against a painter (feedback_painter.hpp), which the context's
// profile chooses; nothing here calls GL itself.
#include "feedback_painter.hpp"
#include "show.hpp"

#include <GL/gl.h>

namespace zandrel::show {

namespace {

float screenWidth = 0, screenHeight = 0;
int texWidth = -1, texHeight = -1;
GLuint feedbackTexture = 0, shrinkTexture = 0;
constexpr int largestTexture = 2048;
constexpr int zoomPasses = 15;

float S1() {
    return screenWidth / static_cast<float>(texWidth);
}
float T1() {
    return screenHeight / static_cast<float>(texHeight);
}

EffectPainter& Painter() {
    return ShaderContext() ? ShaderPainter() : FixedFunctionPainter();
}

// The captured frame (or `s` by `t` of the texture) drawn onto a rectangle of
// device coordinates.
std::array<TexVertex, 4> FrameQuad(float x0, float y0, float x1, float y1, float z = 0,
                                   float s = S1(), float t = T1()) {
    return {{{0, 0, x0, y0, z}, {s, 0, x1, y0, z}, {s, t, x1, y1, z}, {0, t, x0, y1, z}}};
}

void DrawQuad(EffectPainter& painter, const std::array<TexVertex, 4>& quad) {
    painter.Quads(quad.data(), 1);
}

void FullFrameQuad(EffectPainter& painter) {
    DrawQuad(painter, FrameQuad(-1, -1, 1, 1));
}

void CaptureFrame(EffectPainter& painter) {
    painter.Capture(0, 0, static_cast<int>(screenWidth), static_cast<int>(screenHeight));
}

int TextureSizeFor(int size) {
    for (int t = 256; t <= largestTexture; t *= 2)
        if (t >= size) return t;
    return -1;
}

} // namespace

void InitFeedback(int width, int height) {
    if (TextureSizeFor(width) < 0 || TextureSizeFor(height) < 0)
        throw RuntimeError(
            S("Feedback effects need a display of at most 2048 x 2048 pixels, not ") +
            FromInt(width) + S(" x ") + FromInt(height));
    screenWidth = static_cast<float>(width);
    screenHeight = static_cast<float>(height);
    texWidth = TextureSizeFor(width);
    texHeight = TextureSizeFor(height);
    if (ShaderContext()) PrepareShaderPainter();
    EffectPainter& painter = Painter();
    // Made again for a new size: the old textures go.
    if (feedbackTexture) painter.DeleteTexture(feedbackTexture);
    if (shrinkTexture) painter.DeleteTexture(shrinkTexture);
    feedbackTexture = painter.MakeTexture(texWidth, texHeight);
    shrinkTexture = painter.MakeTexture(texWidth, texHeight);
}

int FeedbackTextureWidth() {
    return texWidth;
}
int FeedbackTextureHeight() {
    return texHeight;
}

void FeedbackZoom(float red, float green, float blue, float zStep, float angle) {
    EffectPainter& painter = Painter();
    painter.Begin(true, Projection::Zoom, feedbackTexture);
    CaptureFrame(painter);
    painter.AdditiveBlend();
    for (int pass = 1; pass <= zoomPasses; ++pass) {
        painter.Translate(0, 0, zStep);
        painter.Rotate(angle);
        painter.Colour(red, green, blue);
        DrawQuad(painter, FrameQuad(-1, -0.75f, 1, 0.75f, -1));
    }
    painter.End();
}

void FeedbackTiles(int n) {
    EffectPainter& painter = Painter();
    painter.Begin(false, Projection::Flat, feedbackTexture);
    CaptureFrame(painter);
    painter.Colour(1, 1, 1);
    float nf = static_cast<float>(n);
    for (float row = 0; row <= nf - 1; row += 1)
        for (float column = 0; column <= nf - 1; column += 1)
            DrawQuad(painter, FrameQuad(-1 + 2 * column / nf, -1 + 2 * row / nf,
                                        -1 + 2 * (column + 1) / nf, -1 + 2 * (row + 1) / nf));
    painter.End();
}

void FeedbackBlur() {
    constexpr float d = 0.003f;
    static const float offsets[8][2] = {{0, d}, {0, -d}, {-d, 0}, {d, 0},
                                        {d, d}, {d, -d}, {-d, d}, {-d, -d}};
    EffectPainter& painter = Painter();
    painter.Begin(true, Projection::Flat, feedbackTexture);
    CaptureFrame(painter);
    painter.Clear();
    painter.AdditiveBlend();
    painter.Colour(0.125f, 0.125f, 0.125f);
    for (const auto& offset : offsets) {
        painter.PushMatrix();
        painter.Translate(offset[0], offset[1], 0);
        FullFrameQuad(painter);
        painter.PopMatrix();
    }
    painter.End();
}

void FeedbackThumbnails(int capture, int blend, float brightness, float x) {
    EffectPainter& painter = Painter();
    painter.Begin(blend != 0, Projection::Flat, feedbackTexture);
    if (capture == 1) CaptureFrame(painter);
    painter.AdditiveBlend();
    painter.Colour(brightness, brightness, brightness);
    painter.Translate(x, -0.975f, 0);
    for (int i = 0; i < 5; ++i) {
        DrawQuad(painter, FrameQuad(0, 0, 0.33f, 0.33f));
        painter.Translate(0, 0.4f, 0);
    }
    painter.End();
}

void FeedbackMirror(int blend, float brightness) {
    EffectPainter& painter = Painter();
    painter.Begin(blend != 0, Projection::Flat, feedbackTexture);
    int halfWidth = static_cast<int>(screenWidth / 2),
        halfHeight = static_cast<int>(screenHeight / 2);
    painter.Capture(0, halfHeight, halfWidth, halfHeight);
    painter.AdditiveBlend();
    painter.Colour(brightness, brightness, brightness);
    float sh = S1() / 2, th = T1() / 2;
    const TexVertex quarters[16] = {
        {0, 0, -1, 0, 0},   {sh, 0, 0, 0, 0},   {sh, th, 0, 1, 0}, {0, th, -1, 1, 0},
        {sh, 0, 0, 0, 0},   {0, 0, 1, 0, 0},    {0, th, 1, 1, 0},  {sh, th, 0, 1, 0},
        {0, th, -1, -1, 0}, {sh, th, 0, -1, 0}, {sh, 0, 0, 0, 0},  {0, 0, -1, 0, 0},
        {sh, th, 0, -1, 0}, {0, th, 1, -1, 0},  {0, 0, 1, 0, 0},   {sh, 0, 0, 0, 0},
    };
    painter.Quads(quarters, 4);
    painter.End();
}

void FeedbackPixelate(float size, int nearest, int blend, float red, float green, float blue) {
    EffectPainter& painter = Painter();
    painter.Begin(false, Projection::Flat, feedbackTexture);
    CaptureFrame(painter);
    painter.Clear();
    DrawQuad(painter, FrameQuad(-1, -1, -1 + 2 * size / screenWidth, -1 + 2 * size / screenHeight));
    painter.BindTexture(shrinkTexture);
    painter.Capture(0, 0, static_cast<int>(size), static_cast<int>(size));
    painter.MagnifyNearest(nearest == 1);
    painter.Colour(1, 1, 1);
    painter.AdditiveBlend();
    if (blend == 1) {
        painter.BindTexture(feedbackTexture);
        FullFrameQuad(painter);
        painter.Blend(true);
    } else {
        painter.Blend(false);
    }
    painter.Colour(red, green, blue);
    painter.BindTexture(shrinkTexture);
    float s = size / static_cast<float>(texWidth), t = size / static_cast<float>(texHeight);
    DrawQuad(painter, FrameQuad(-1, -1, 1, 1, 0, s, t));
    painter.End();
}

} // namespace zandrel::show
