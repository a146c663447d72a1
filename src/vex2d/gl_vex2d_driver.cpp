#include "gl2d.hpp"
#include "gl_shader2d.hpp"
#include "gl_vex2d.hpp"
#include "graphics/gl_context.hpp"
#include "graphics/gl_functions.hpp"
#include "graphics/gl_graphics.hpp"
#include "vex2d_parts.hpp"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace zandrel {

namespace {

constexpr int MaxOvalSegments = 4096;

// GL lights the pixels whose diamond a line leaves, so a line from pixel
// centre to pixel centre lights its start and not its end; but the centres
// sit exactly on that rule's edge, and the projection's rounding tips some
// directions (downward lines on Mesa) over it. Both ends moved back a
// sixteenth of a pixel along the line stay clear of the edge either way.
constexpr float LineBias = 1.0f / 16;

uint8_t ColourByte(int value) {
    return static_cast<uint8_t>(std::clamp(value, 0, 255));
}

void ClearRight(TPixmap& pixmap, int fromColumn, int rows) {
    if (fromColumn >= pixmap.Width()) return;
    size_t bytes = static_cast<size_t>(pixmap.Width() - fromColumn) * 4;
    for (int y = 0; y < rows; ++y)
        std::memset(pixmap.PixelPtr(fromColumn, y), 0, bytes);
}

GLTextureFilters FiltersOf(ImageFlags flags) {
    bool mipmapped{flags & ImageFlags::Mipmapped};
    if (flags & ImageFlags::Filtered)
        return {mipmapped ? GL_LINEAR_MIPMAP_LINEAR : GL_LINEAR, GL_LINEAR};
    return {mipmapped ? GL_NEAREST_MIPMAP_NEAREST : GL_NEAREST, GL_NEAREST};
}

} // namespace

gl2d::Vertex Render2DState::Map(float x, float y, float tx, float ty) const {
    return {x * matrix.ix + y * matrix.iy + tx, x * matrix.jx + y * matrix.jy + ty};
}

void Render2DState::MapRect(gl2d::Vertex (&corners)[4], float x0, float y0, float x1, float y1,
                            float tx, float ty) const {
    corners[0] = Map(x0, y0, tx, ty);
    corners[1] = Map(x1, y0, tx, ty);
    corners[2] = Map(x1, y1, tx, ty);
    corners[3] = Map(x0, y1, tx, ty);
}

void Render2DState::SetColour(int red, int green, int blue) {
    colour[0] = ColourByte(red);
    colour[1] = ColourByte(green);
    colour[2] = ColourByte(blue);
    fine.reset();
}

void Render2DState::SetFineColour(float red, float green, float blue) {
    SetColour(static_cast<int>(std::lround(red * 255)), static_cast<int>(std::lround(green * 255)),
              static_cast<int>(std::lround(blue * 255)));
    fine = {red, green, blue};
}

void Render2DState::SetAlpha(float alpha) {
    float a = alpha > 1 ? 1 : (alpha >= 0 ? alpha : 0); // not-a-number becomes 0
    colour[3] = static_cast<uint8_t>(a * 255);
}

// The points go round by a fixed step, turned by a rotation recurrence
// rather than a sine and cosine each.
void Render2DState::OvalPoints(float x0, float y0, float x1, float y1, float tx, float ty) {
    float xr = (x1 - x0) * 0.5f, yr = (y1 - y0) * 0.5f;
    float cx = x0 + xr, cy = y0 + yr;
    int count = OvalSegments(xr, yr);
    double step = 360.0 / count;
    double stepCos = CosDeg(step), stepSin = SinDeg(step);
    double c = 1, s = 0;
    polygon.resize(static_cast<size_t>(count));
    for (auto& point : polygon) {
        point = Map(cx + xr * static_cast<float>(c), cy - yr * static_cast<float>(s), tx, ty);
        double next = c * stepCos - s * stepSin;
        s = s * stepCos + c * stepSin;
        c = next;
    }
}

void Render2DState::PolyPoints(const std::vector<float>& xy, float handleX, float handleY,
                               float originX, float originY) {
    polygon.resize(xy.size() / 2);
    for (size_t i = 0; i < polygon.size(); ++i)
        polygon[i] = Map(xy[2 * i] + handleX, xy[2 * i + 1] + handleY, originX, originY);
}

void LineEnds(const Render2DState& state, float x0, float y0, float x1, float y1, float tx,
              float ty, gl2d::Vertex& from, gl2d::Vertex& to) {
    auto a = state.Map(x0, y0, tx, ty), b = state.Map(x1, y1, tx, ty);
    float dx = b.x - a.x, dy = b.y - a.y;
    float length = std::sqrt(dx * dx + dy * dy);
    float back = length > 0 ? LineBias / length : 0.0f;
    from = {a.x + 0.5f - dx * back, a.y + 0.5f - dy * back};
    to = {b.x + 0.5f - dx * back, b.y + 0.5f - dy * back};
}

FrameTexture MakeFrameTexture(const Ref<TPixmap>& pixmap, ImageFlags flags) {
    InSharedContext shared;
    int pw = pixmap->Width(), ph = pixmap->Height();
    int tw = pw, th = ph;
    GLAdjustTexSize(tw, th);
    int w = std::min(pw, tw), h = std::min(ph, th);
    Ref<TPixmap> picture = pixmap;
    if (w != pw || h != ph) picture = ResizePixmap(pixmap, w, h);
    if (w < tw || h < th)
        picture = WithEdgeMargin(picture, tw, th);
    else if (picture->Format() != PixelFormat::FormatRGBA8888)
        picture = picture->Convert(PixelFormat::FormatRGBA8888);
    FrameTexture made;
    GLTextureFilters filters = FiltersOf(flags);
    made.texture = UploadGLTexture(picture, bool{flags & ImageFlags::Mipmapped}, &filters);
    // Made in one context and drawn in others: handed to the GL before use.
    GL().Flush();
    made.uMax = static_cast<float>(w) / static_cast<float>(tw);
    made.vMax = static_cast<float>(h) / static_cast<float>(th);
    made.width = tw;
    made.height = th;
    return made;
}

void DrawPixmapPieces(const Ref<TPixmap>& pixmap, int x, int y, const PixmapPieceDraw& draw) {
    GLint largest = 0;
    GL().GetIntegerv(GL_MAX_TEXTURE_SIZE, &largest);
    int side = std::max(largest, 1);
    const GLTextureFilters nearest{GL_NEAREST, GL_NEAREST};
    int width = pixmap->Width(), height = pixmap->Height();
    for (int top = 0; top < height; top += side)
        for (int left = 0; left < width; left += side) {
            int w = std::min(side, width - left), h = std::min(side, height - top);
            bool whole = w == width && h == height;
            uint32_t texture =
                UploadGLTexture(whole ? pixmap : pixmap->Window(left, top, w, h), false, &nearest);
            auto x0 = static_cast<float>(int64_t{x} + left),
                 y0 = static_cast<float>(int64_t{y} + top);
            auto x1 = x0 + static_cast<float>(w), y1 = y0 + static_cast<float>(h);
            const gl2d::Vertex corners[4] = {{x0, y0}, {x1, y0}, {x1, y1}, {x0, y1}};
            draw(texture, corners);
        }
}

namespace {

uint32_t DisplayFramebuffer() {
    GLContext* context = native::CurrentGLContext();
    return context ? context->scaled.framebuffer : 0;
}

GLContext* LiveContext(uint64_t serial) {
    for (GLContext* context = native::FirstGLContext(); context; context = context->next)
        if (context->serial == serial) return context;
    return nullptr;
}

// The frame's own framebuffer object in the current context, bound: made
// and checked the first time, only bound after.
bool BindFrameFramebuffer(TGLImageFrame& frame) {
    auto& f = GL();
    GLContext* context = native::CurrentGLContext();
    uint64_t serial = context ? context->serial : 0;
    if (frame.framebuffer && frame.framebufferContext == serial) {
        f.BindFramebuffer(GL_FRAMEBUFFER, frame.framebuffer);
        return true;
    }
    DeleteFrameFramebuffer(frame);
    GLuint name = 0;
    f.GenFramebuffers(1, &name);
    f.BindFramebuffer(GL_FRAMEBUFFER, name);
    f.FramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, frame.texture, 0);
    if (f.CheckFramebufferStatus(GL_FRAMEBUFFER) != GL_FRAMEBUFFER_COMPLETE) {
        f.BindFramebuffer(GL_FRAMEBUFFER, DisplayFramebuffer());
        f.DeleteFramebuffers(1, &name);
        return false;
    }
    frame.framebuffer = name;
    frame.framebufferContext = serial;
    return true;
}

} // namespace

void DeleteFrameFramebuffer(TGLImageFrame& frame) {
    if (!frame.framebuffer) return;
    GLuint name = frame.framebuffer;
    frame.framebuffer = 0;
    GLContext* owner = LiveContext(frame.framebufferContext);
    if (!owner) return;
    GLContext* current = native::CurrentGLContext();
    if (owner != current) native::MakeGLContextCurrent(owner);
    GL().DeleteFramebuffers(1, &name);
    if (owner != current) native::MakeGLContextCurrent(current);
}

// A picture larger than the GL could take was shrunk into its texture:
// drawing covers what the texture holds of it.
void DrawSurface::Target(const Ref<TImageFrame>& frame, int width, int height) {
    Display();
    auto* gl = dynamic_cast<TGLImageFrame*>(frame.get());
    if (!gl || gl->seq == 0 || !BindFrameFramebuffer(*gl))
        throw RuntimeError("Unable to draw into the image");
    frame_ = frame;
    onTarget_ = true;
    textureWidth_ = gl->textureWidth;
    textureHeight_ = gl->textureHeight;
    width_ = std::min(width, textureWidth_);
    height_ = std::min(height, textureHeight_);
}

void DrawSurface::Display() {
    if (!onTarget_) return;
    GL().BindFramebuffer(GL_FRAMEBUFFER, DisplayFramebuffer());
    onTarget_ = false;
    frame_ = nullptr;
}

int DrawSurface::Width() const {
    return OnTarget() ? width_ : GraphicsWidth();
}

int DrawSurface::Height() const {
    return OnTarget() ? height_ : GraphicsHeight();
}

int DrawSurface::GLWidth() const {
    return OnTarget() ? textureWidth_ : GraphicsWidth();
}

int DrawSurface::GLHeight() const {
    return OnTarget() ? textureHeight_ : GraphicsHeight();
}

int DrawSurface::GLRow(int y, int height) const {
    return OnTarget() ? y : GraphicsHeight() - y - height;
}

TGLShader2D* PreparedShader(const Ref<TShader2D>& shader) {
    if (!shader) return nullptr;
    auto* made = dynamic_cast<TGLShader2D*>(shader.get());
    if (!made) throw RuntimeError("Shader is not of this 2D driver");
    made->Prepare();
    return made;
}

// Blitting turns the display's rows, which run up, into the texture's,
// which run down; a target's already run down.
void DrawSurface::CopyTo(const Ref<TImageFrame>& frame, int x, int y, int width, int height) {
    auto* into = dynamic_cast<TGLImageFrame*>(frame.get());
    if (!into || into->seq == 0) throw RuntimeError("Unable to draw into the image");
    int left = std::max(x, 0), top = std::max(y, 0);
    int right = static_cast<int>(std::min<int64_t>(int64_t{x} + width, Width()));
    int bottom = static_cast<int>(std::min<int64_t>(int64_t{y} + height, Height()));
    if (right <= left || bottom <= top) return;
    auto& f = GL();
    uint32_t drawn =
        OnTarget() ? static_cast<TGLImageFrame&>(*frame_).framebuffer : DisplayFramebuffer();
    bool scissor = f.IsEnabled(GL_SCISSOR_TEST);
    if (scissor) f.Disable(GL_SCISSOR_TEST);
    bool bound = BindFrameFramebuffer(*into);
    if (bound) {
        f.BindFramebuffer(GL_READ_FRAMEBUFFER, drawn);
        int w = right - left, h = bottom - top, row = GLRow(top, h);
        int dx = left - x, dy = top - y;
        int dy0 = OnTarget() ? dy : dy + h, dy1 = OnTarget() ? dy + h : dy;
        f.BlitFramebuffer(left, row, right, row + h, dx, dy0, dx + w, dy1, GL_COLOR_BUFFER_BIT,
                          GL_NEAREST);
    }
    f.BindFramebuffer(GL_FRAMEBUFFER, drawn);
    if (scissor) f.Enable(GL_SCISSOR_TEST);
    if (!bound) throw RuntimeError("Unable to draw into the image");
}

int OvalSegments(float xr, float yr) {
    float n = std::fabs(xr) + std::fabs(yr);
    int count = 12;
    if (n >= MaxOvalSegments)
        count = MaxOvalSegments;
    else if (n > 12)
        count = static_cast<int>(n);
    return count & ~3;
}

Ref<TPixmap> WithEdgeMargin(const Ref<TPixmap>& picture, int textureWidth, int textureHeight) {
    int w = picture->Width(), h = picture->Height();
    auto canvas = CreatePixmap(textureWidth, textureHeight, PixelFormat::FormatRGBA8888, 4);
    canvas->Paste(picture, 0, 0);
    if (w > 0 && h > 0) {
        if (w < textureWidth) canvas->Paste(picture->Window(w - 1, 0, 1, h), w, 0);
        if (h < textureHeight) {
            canvas->Paste(picture->Window(0, h - 1, w, 1), 0, h);
            if (w < textureWidth) canvas->Paste(picture->Window(w - 1, h - 1, 1, 1), w, h);
        }
    }
    int usedWidth = std::min(w > 0 ? w + 1 : 0, textureWidth);
    int usedHeight = std::min(w > 0 && h > 0 ? h + 1 : 0, textureHeight);
    ClearRight(*canvas, usedWidth, usedHeight);
    for (int y = usedHeight; y < textureHeight; ++y)
        std::memset(canvas->PixelPtr(0, y), 0, static_cast<size_t>(textureWidth) * 4);
    return canvas;
}

TGLImageFrame::~TGLImageFrame() {
    DeleteFrameFramebuffer(*this);
    if (seq == 0) return;
    InSharedContext shared;
    FixedFunction2D().FixedFunction().DeleteTexture(texture);
    seq = 0;
}

void TGLImageFrame::Draw(float x0, float y0, float x1, float y1, float tx, float ty) {
    gl2d::Vertex corners[4];
    FixedFunction2D().State().MapRect(corners, x0, y0, x1, y1, tx, ty);
    FixedFunction2D().FixedFunction().DrawTexturedQuad(texture, corners, uMin, vMin, uMax, vMax);
}

String TGLVex2DDriver::ToString() const {
    return S("OpenGL");
}

std::vector<Ref<TGraphicsMode>> TGLVex2DDriver::GraphicsModes() {
    return GLGraphicsDriver()->GraphicsModes();
}

namespace {

// A context of a shader profile, which the graphics driver gives where no
// compatibility context can be had, is drawn by the shader 2D driver.
Ref<TGraphics> Wrap(const Ref<TGraphics>& g) {
    if (!g) return nullptr;
    auto gl = As<TGLGraphics>(g);
    bool fixedFunction = !gl || gl->Profile() == GLProfile::Compatibility;
    return TVex2DGraphics::Create(g, fixedFunction ? FixedFunction2DDriver() : GLES2DDriver());
}

} // namespace

Ref<TGraphics> TGLVex2DDriver::AttachGraphics(NativeWidget widget, GraphicsFlags flags) {
    return Wrap(GLGraphicsDriver()->AttachGraphics(widget, flags));
}

Ref<TGraphics> TGLVex2DDriver::CreateGraphics(int width, int height, int depth, int hertz,
                                              GraphicsFlags flags) {
    return Wrap(GLGraphicsDriver()->CreateGraphics(width, height, depth, hertz, flags));
}

// A closed 2D context is treated as no context.
void TGLVex2DDriver::SetGraphics(const Ref<TGraphics>& g) {
    LeaveRenderTarget();
    auto state = As<TVex2DGraphics>(g);
    if (!state || !state->graphics) {
        GLGraphicsDriver()->SetGraphics(nullptr);
        ActivateVex2D(nullptr);
        return;
    }
    GLGraphicsDriver()->SetGraphics(state->graphics);
    gl_.StartContext(GraphicsWidth(), GraphicsHeight());
    ActivateVex2D(state);
    SetViewport(state->viewportX, state->viewportY, state->viewportWidth, state->viewportHeight);
    const Matrix2D& m = DrawingMatrix();
    SetTransform(m.ix, m.iy, m.jx, m.jy);
    SetColor(state->red, state->green, state->blue);
    if (state->fineColour)
        SetFineColor((*state->fineColour)[0], (*state->fineColour)[1], (*state->fineColour)[2]);
    SetAlpha(state->alpha);
    SetShader(state->shader);
}

void TGLVex2DDriver::Flip(bool sync) {
    GLGraphicsDriver()->Flip(sync);
}

Ref<TImageFrame> TGLVex2DDriver::CreateFrame(const Ref<TPixmap>& pixmap, ImageFlags flags) {
    return NewImageFrame<TGLImageFrame>(pixmap, flags);
}

void TGLVex2DDriver::SetBlend(BlendMode mode) {
    gl_.SetBlend(mode);
}

void TGLVex2DDriver::SetAlpha(float alpha) {
    state_.SetAlpha(alpha);
    ApplyColour();
}

void TGLVex2DDriver::SetColor(int red, int green, int blue) {
    state_.SetColour(red, green, blue);
    ApplyColour();
}

void TGLVex2DDriver::SetFineColor(float red, float green, float blue) {
    state_.SetFineColour(red, green, blue);
    ApplyColour();
}

void TGLVex2DDriver::ApplyColour() {
    if (!state_.fine) {
        gl_.SetColor(state_.colour);
        return;
    }
    const auto& f = *state_.fine;
    const float rgba[4] = {f[0], f[1], f[2], static_cast<float>(state_.colour[3]) / 255.0f};
    gl_.SetColor(rgba);
}

void TGLVex2DDriver::SetClsColor(int red, int green, int blue) {
    gl_.SetClearColor(ColourByte(red), ColourByte(green), ColourByte(blue));
}

// An image is always clipped to its picture: its texture's margin keeps the
// picture's edge for filtering.
void TGLVex2DDriver::SetViewport(int x, int y, int width, int height) {
    bool whole = !surface_.OnTarget() && x == 0 && y == 0 && width == GraphicsWidth() &&
                 height == GraphicsHeight();
    gl_.SetScissor(!whole, x, surface_.GLRow(y, height), std::max(width, 0), std::max(height, 0));
}

void TGLVex2DDriver::SetTransform(float ix, float iy, float jx, float jy) {
    state_.matrix = {ix, iy, jx, jy};
}

// The GL refuses widths that are not positive.
void TGLVex2DDriver::SetLineWidth(float width) {
    if (width > 0) gl_.SetLineWidth(width);
}

void TGLVex2DDriver::Cls() {
    gl_.Clear();
}

void TGLVex2DDriver::Plot(float x, float y) {
    gl_.DrawPoint({x + 0.5f, y + 0.5f});
}

void TGLVex2DDriver::DrawLine(float x0, float y0, float x1, float y1, float tx, float ty) {
    gl2d::Vertex from, to;
    LineEnds(state_, x0, y0, x1, y1, tx, ty, from, to);
    gl_.DrawLine(from, to);
}

void TGLVex2DDriver::DrawRect(float x0, float y0, float x1, float y1, float tx, float ty) {
    gl2d::Vertex corners[4];
    state_.MapRect(corners, x0, y0, x1, y1, tx, ty);
    gl_.DrawQuad(corners);
}

void TGLVex2DDriver::DrawOval(float x0, float y0, float x1, float y1, float tx, float ty) {
    state_.OvalPoints(x0, y0, x1, y1, tx, ty);
    gl_.DrawPolygon(state_.polygon.data(), static_cast<int>(state_.polygon.size()));
}

void TGLVex2DDriver::DrawPoly(const std::vector<float>& xy, float handleX, float handleY,
                              float originX, float originY) {
    if (xy.size() < 6 || xy.size() % 2 != 0) return;
    state_.PolyPoints(xy, handleX, handleY, originX, originY);
    gl_.DrawPolygon(state_.polygon.data(), static_cast<int>(state_.polygon.size()));
}

// Untinted: the colour goes back once the pixels are drawn.
void TGLVex2DDriver::DrawPixmap(const Ref<TPixmap>& pixmap, int x, int y) {
    if (!pixmap) throw RuntimeError("Pixmap is no object");
    constexpr uint8_t white[4] = {255, 255, 255, 255};
    BlendMode blend = gl_.Blend();
    gl_.SetBlend(BlendMode::Solid);
    gl_.SetColor(white);
    DrawPixmapPieces(pixmap, x, y, [this](uint32_t texture, const gl2d::Vertex(&corners)[4]) {
        gl_.DrawTexturedQuad(texture, corners, 0, 0, 1, 1);
        gl_.DeleteTexture(texture);
    });
    ApplyColour();
    gl_.SetBlend(blend);
}

// Pixels outside the context read as transparent black.
Ref<TPixmap> TGLVex2DDriver::GrabPixmap(int x, int y, int width, int height) {
    BlendMode blend = gl_.Blend();
    gl_.SetBlend(BlendMode::Solid);
    auto pixmap = CreatePixmap(width, height, PixelFormat::FormatRGBA8888, 4);
    bool inside = x >= 0 && y >= 0 && int64_t{x} + width <= surface_.Width() &&
                  int64_t{y} + height <= surface_.Height();
    if (!inside) std::memset(pixmap->Pixels(), 0, static_cast<size_t>(pixmap->Capacity()));
    gl_.ReadPixels(*pixmap, x, surface_.GLRow(y, height));
    gl_.SetBlend(blend);
    return surface_.OnTarget() ? pixmap : YFlipPixmap(pixmap);
}

void TGLVex2DDriver::SetTarget(const Ref<TImageFrame>& frame, int width, int height) {
    if (frame)
        surface_.Target(frame, width, height);
    else
        surface_.Display();
    gl_.SetProjection(surface_.GLWidth(), surface_.GLHeight(), !surface_.OnTarget());
}

Ref<TShader2D> TGLVex2DDriver::CreateShader(const String& body) {
    return New<TGLShader2D>(body);
}

void TGLVex2DDriver::SetShader(const Ref<TShader2D>& shader) {
    gl_.SetShader(PreparedShader(shader));
}

void TGLVex2DDriver::CopyToFrame(const Ref<TImageFrame>& frame, int x, int y, int width,
                                 int height) {
    surface_.CopyTo(frame, x, y, width, height);
}

const Ref<TVex2DDriver>& FixedFunction2DDriver() {
    static const auto* driver = new Ref<TVex2DDriver>(New<TGLVex2DDriver>());
    return *driver;
}

TGLVex2DDriver& FixedFunction2D() {
    return static_cast<TGLVex2DDriver&>(*FixedFunction2DDriver());
}

const Ref<TVex2DDriver>& GLVex2DDriver() {
    return RequestedGLProfile() == GLProfile::Compatibility ? FixedFunction2DDriver()
                                                            : GLES2DDriver();
}

} // namespace zandrel
