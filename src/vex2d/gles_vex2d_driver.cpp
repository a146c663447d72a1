#include "gl_shader2d.hpp"
#include "gles_vex2d.hpp"
#include "graphics/gl_functions.hpp"
#include "graphics/gl_graphics.hpp"

#include <algorithm>
#include <cstring>

namespace zandrel {

namespace {

using gles::BatchKey;
using gles::Primitive;

constexpr float WholePicture[4] = {0, 0, 1, 1};
constexpr uint8_t Opaque[4] = {255, 255, 255, 255};

BlendMode Known(BlendMode mode) {
    int n = static_cast<int>(mode);
    return n >= static_cast<int>(BlendMode::Mask) && n <= static_cast<int>(BlendMode::Shade)
               ? mode
               : BlendMode::Solid;
}

void Put(gles::Vertex& v, gl2d::Vertex at, float u, float t, const uint8_t (&colour)[4]) {
    v = {at.x, at.y, u, t, {colour[0], colour[1], colour[2], colour[3]}};
}

Ref<TGraphics> Wrap(const Ref<TGraphics>& g) {
    return g ? TVex2DGraphics::Create(g, GLES2DDriver()) : nullptr;
}

} // namespace

String TGLES2DDriver::ToString() const {
    return S("OpenGL ES");
}

std::vector<Ref<TGraphicsMode>> TGLES2DDriver::GraphicsModes() {
    return GLESGraphicsDriver()->GraphicsModes();
}

Ref<TGraphics> TGLES2DDriver::AttachGraphics(NativeWidget widget, GraphicsFlags flags) {
    return Wrap(GLESGraphicsDriver()->AttachGraphics(widget, flags));
}

Ref<TGraphics> TGLES2DDriver::CreateGraphics(int width, int height, int depth, int hertz,
                                             GraphicsFlags flags) {
    return Wrap(GLESGraphicsDriver()->CreateGraphics(width, height, depth, hertz, flags));
}

// What is batched belongs to the context it was drawn for. The state the GL
// context would keep with the fixed-function driver is kept here, so it is
// handed over again.
void TGLES2DDriver::SetGraphics(const Ref<TGraphics>& g) {
    LeaveRenderTarget();
    batch_.SetShader(nullptr); // the 2D context's own is set again after
    auto state = As<TVex2DGraphics>(g);
    if (!state || !state->graphics) {
        GLESGraphicsDriver()->SetGraphics(nullptr);
        ActivateVex2D(nullptr);
        return;
    }
    GLESGraphicsDriver()->SetGraphics(state->graphics);
    GL().Viewport(0, 0, GraphicsWidth(), GraphicsHeight());
    ActivateVex2D(state);
    SetViewport(state->viewportX, state->viewportY, state->viewportWidth, state->viewportHeight);
    const Matrix2D& m = DrawingMatrix();
    SetTransform(m.ix, m.iy, m.jx, m.jy);
    SetColor(state->red, state->green, state->blue);
    if (state->fineColour)
        SetFineColor((*state->fineColour)[0], (*state->fineColour)[1], (*state->fineColour)[2]);
    SetAlpha(state->alpha);
    SetBlend(state->blendMode);
    SetClsColor(state->clsRed, state->clsGreen, state->clsBlue);
    SetLineWidth(state->lineWidth);
    SetShader(state->shader);
}

void TGLES2DDriver::Flip(bool sync) {
    batch_.Flush();
    lastFrameDrawCalls_ = batch_.DrawCalls() - frameStart_;
    frameStart_ = batch_.DrawCalls();
    GLESGraphicsDriver()->Flip(sync);
}

Ref<TImageFrame> TGLES2DDriver::CreateFrame(const Ref<TPixmap>& pixmap, ImageFlags flags) {
    return NewImageFrame<TGLESImageFrame>(pixmap, flags);
}

void TGLES2DDriver::SetBlend(BlendMode mode) {
    blend_ = Known(mode);
}

void TGLES2DDriver::SetAlpha(float alpha) {
    state_.SetAlpha(alpha);
}

void TGLES2DDriver::SetColor(int red, int green, int blue) {
    state_.SetColour(red, green, blue);
}

void TGLES2DDriver::SetFineColor(float red, float green, float blue) {
    state_.SetFineColour(red, green, blue);
}

// The fine colour goes with the batch: the program takes it as its tint.
BatchKey TGLES2DDriver::Keyed(BatchKey key) const {
    if (state_.fine) {
        const auto& f = *state_.fine;
        key.fineTint = std::array<float, 4>{f[0], f[1], f[2], state_.colour[3] / 255.0f};
    }
    return key;
}

void TGLES2DDriver::SetClsColor(int red, int green, int blue) {
    clear_[0] = static_cast<uint8_t>(std::clamp(red, 0, 255));
    clear_[1] = static_cast<uint8_t>(std::clamp(green, 0, 255));
    clear_[2] = static_cast<uint8_t>(std::clamp(blue, 0, 255));
}

void TGLES2DDriver::SetViewport(int x, int y, int width, int height) {
    batch_.Flush();
    auto& gl = GL();
    if (!surface_.OnTarget() && x == 0 && y == 0 && width == GraphicsWidth() &&
        height == GraphicsHeight()) {
        gl.Disable(GL_SCISSOR_TEST);
        return;
    }
    gl.Enable(GL_SCISSOR_TEST);
    gl.Scissor(x, surface_.GLRow(y, height), std::max(width, 0), std::max(height, 0));
}

void TGLES2DDriver::SetTransform(float ix, float iy, float jx, float jy) {
    state_.matrix = {ix, iy, jx, jy};
}

// The GL refuses widths that are not positive.
void TGLES2DDriver::SetLineWidth(float width) {
    if (width > 0) lineWidth_ = width;
}

void TGLES2DDriver::Cls() {
    batch_.Flush();
    auto& gl = GL();
    gl.ClearColor(clear_[0] / 255.0f, clear_[1] / 255.0f, clear_[2] / 255.0f, 1.0f);
    gl.Clear(GL_COLOR_BUFFER_BIT);
}

void TGLES2DDriver::Plot(float x, float y) {
    BatchKey key = Keyed({0, blend_, Primitive::Points});
    Put(*batch_.Reserve(key, 1).vertices, {x + 0.5f, y + 0.5f}, 0, 0, state_.colour);
}

void TGLES2DDriver::DrawLine(float x0, float y0, float x1, float y1, float tx, float ty) {
    gl2d::Vertex from, to;
    LineEnds(state_, x0, y0, x1, y1, tx, ty, from, to);
    gles::Vertex* v = batch_.Reserve(Keyed({0, blend_, Primitive::Lines, lineWidth_}), 2).vertices;
    Put(v[0], from, 0, 0, state_.colour);
    Put(v[1], to, 0, 0, state_.colour);
}

void TGLES2DDriver::DrawRect(float x0, float y0, float x1, float y1, float tx, float ty) {
    gl2d::Vertex corners[4];
    state_.MapRect(corners, x0, y0, x1, y1, tx, ty);
    Quad(Keyed({0, blend_}), corners, WholePicture, state_.colour);
}

void TGLES2DDriver::DrawOval(float x0, float y0, float x1, float y1, float tx, float ty) {
    state_.OvalPoints(x0, y0, x1, y1, tx, ty);
    Fan(state_.polygon);
}

void TGLES2DDriver::DrawPoly(const std::vector<float>& xy, float handleX, float handleY,
                             float originX, float originY) {
    if (xy.size() < 6 || xy.size() % 2 != 0) return;
    state_.PolyPoints(xy, handleX, handleY, originX, originY);
    Fan(state_.polygon);
}

// Unblended and untinted, as the pixels are.
void TGLES2DDriver::DrawPixmap(const Ref<TPixmap>& pixmap, int x, int y) {
    if (!pixmap) throw RuntimeError("Pixmap is no object");
    batch_.Flush();
    DrawPixmapPieces(pixmap, x, y, [this](uint32_t texture, const gl2d::Vertex(&corners)[4]) {
        Quad({texture, BlendMode::Solid}, corners, WholePicture, Opaque);
        batch_.Flush();
        GL().DeleteTextures(1, &texture);
    });
}

// Pixels outside the context read as transparent black.
Ref<TPixmap> TGLES2DDriver::GrabPixmap(int x, int y, int width, int height) {
    batch_.Flush();
    auto pixmap = CreatePixmap(width, height, PixelFormat::FormatRGBA8888, 4);
    bool inside = x >= 0 && y >= 0 && int64_t{x} + width <= surface_.Width() &&
                  int64_t{y} + height <= surface_.Height();
    if (!inside) std::memset(pixmap->Pixels(), 0, static_cast<size_t>(pixmap->Capacity()));
    auto& gl = GL();
    gl.PixelStorei(GL_PACK_ALIGNMENT, 4);
    gl.PixelStorei(GL_PACK_ROW_LENGTH, pixmap->Pitch() / 4);
    gl.ReadPixels(x, surface_.GLRow(y, height), width, height, GL_RGBA, GL_UNSIGNED_BYTE,
                  pixmap->Pixels());
    gl.PixelStorei(GL_PACK_ROW_LENGTH, 0);
    return surface_.OnTarget() ? pixmap : YFlipPixmap(pixmap);
}

void TGLES2DDriver::Flush() {
    batch_.Flush();
}

void TGLES2DDriver::SetTarget(const Ref<TImageFrame>& frame, int width, int height) {
    batch_.Flush();
    if (frame)
        surface_.Target(frame, width, height);
    else
        surface_.Display();
    GL().Viewport(0, 0, surface_.GLWidth(), surface_.GLHeight());
    batch_.SetSurface(surface_.OnTarget() ? surface_.GLWidth() : 0, surface_.GLHeight());
}

Ref<TShader2D> TGLES2DDriver::CreateShader(const String& body) {
    return New<TGLShader2D>(body);
}

void TGLES2DDriver::SetShader(const Ref<TShader2D>& shader) {
    TGLShader2D* prepared = PreparedShader(shader);
    batch_.Flush();
    batch_.SetShader(prepared);
}

void TGLES2DDriver::CopyToFrame(const Ref<TImageFrame>& frame, int x, int y, int width,
                                int height) {
    batch_.Flush();
    surface_.CopyTo(frame, x, y, width, height);
}

void TGLES2DDriver::DrawFrame(uint32_t texture, const float (&uv)[4], float x0, float y0, float x1,
                              float y1, float tx, float ty) {
    gl2d::Vertex corners[4];
    state_.MapRect(corners, x0, y0, x1, y1, tx, ty);
    Quad(Keyed({texture, blend_}), corners, uv, state_.colour);
}

void TGLES2DDriver::Quad(const BatchKey& key, const gl2d::Vertex (&corners)[4],
                         const float (&uv)[4], const uint8_t (&colour)[4]) {
    gles::Vertex* v = batch_.ReserveQuad(key);
    Put(v[0], corners[0], uv[0], uv[1], colour);
    Put(v[1], corners[1], uv[2], uv[1], colour);
    Put(v[2], corners[2], uv[2], uv[3], colour);
    Put(v[3], corners[3], uv[0], uv[3], colour);
}

// A triangle fan from the first point, as the GL fills a convex polygon.
void TGLES2DDriver::Fan(const std::vector<gl2d::Vertex>& points) {
    size_t triangles = points.size() - 2;
    gles::Room room = batch_.Reserve(Keyed({0, blend_}), points.size(), triangles * 3);
    for (size_t k = 0; k < points.size(); ++k)
        Put(room.vertices[k], points[k], 0, 0, state_.colour);
    for (size_t k = 0; k < triangles; ++k) {
        uint32_t* i = room.indices + 3 * k;
        i[0] = room.first;
        i[1] = room.first + static_cast<uint32_t>(k) + 1;
        i[2] = room.first + static_cast<uint32_t>(k) + 2;
    }
}

TGLES2DDriver& TheGLES2DDriver() {
    return static_cast<TGLES2DDriver&>(*GLES2DDriver());
}

const Ref<TVex2DDriver>& GLES2DDriver() {
    static const auto* driver = new Ref<TVex2DDriver>(New<TGLES2DDriver>());
    return *driver;
}

// Deleted here through the looked-up GL, so the base class has nothing left to do.
TGLESImageFrame::~TGLESImageFrame() {
    DeleteFrameFramebuffer(*this);
    if (seq == 0) return;
    TheGLES2DDriver().Flush();
    InSharedContext shared;
    GLuint name = texture;
    GL().DeleteTextures(1, &name);
    seq = 0;
}

void TGLESImageFrame::Draw(float x0, float y0, float x1, float y1, float tx, float ty) {
    TheGLES2DDriver().DrawFrame(texture, {uMin, vMin, uMax, vMax}, x0, y0, x1, y1, tx, ty);
}

void FlushDrawing() {
    if (FindCurrentVex2D()) CurrentVex2DDriver().Flush();
}

} // namespace zandrel
