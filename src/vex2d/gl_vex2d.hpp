// The OpenGL 2D driver's class, its image frame, what the shader driver
// shares with it, and the helpers the tests look at.
#pragma once

#include "gl2d.hpp"
#include "vex2d_parts.hpp"

#include <zandrel/vex2d.hpp>

#include <array>
#include <functional>
#include <optional>
#include <vector>

namespace zandrel {

// What the driver operations hand a 2D driver and what it draws with.
struct Render2DState {
    Matrix2D matrix;
    uint8_t colour[4] = {255, 255, 255, 255};
    // The colour at single precision when SetFineColor gave it; the bytes
    // then hold it rounded.
    std::optional<std::array<float, 3>> fine;
    std::vector<gl2d::Vertex> polygon; // reused: drawing allocates only to grow it

    gl2d::Vertex Map(float x, float y, float tx, float ty) const;
    // Top-left, top-right, bottom-right, bottom-left of the local rectangle.
    void MapRect(gl2d::Vertex (&corners)[4], float x0, float y0, float x1, float y1, float tx,
                 float ty) const;
    // The colour bytes as SetColor and SetAlpha give them, clamped.
    void SetColour(int red, int green, int blue);
    void SetFineColour(float red, float green, float blue);
    void SetAlpha(float alpha);
    // Into `polygon`: the oval's points and a polygon's mapped points.
    void OvalPoints(float x0, float y0, float x1, float y1, float tx, float ty);
    void PolyPoints(const std::vector<float>& xy, float handleX, float handleY, float originX,
                    float originY);
};

// The ends of a line in GL coordinates, drawn from pixel centre to pixel
// centre as the GL's rule for lines lights pixels.
void LineEnds(const Render2DState& state, float x0, float y0, float x1, float y1, float tx,
              float ty, gl2d::Vertex& from, gl2d::Vertex& to);

// A texture of the pixmap in the shared context of the current profile, of
// a size the GL takes, for an image frame.
struct FrameTexture {
    uint32_t texture = 0;
    float uMax = 0, vMax = 0;
    int width = 0, height = 0; // the texture's
};
FrameTexture MakeFrameTexture(const Ref<TPixmap>& pixmap, ImageFlags flags);

// A pixmap drawn once with its top-left at x, y: the one uploader makes a
// texture of its own pixels in the current context, sampled nearest, for
// each piece no larger than the GL takes, and hands it to `draw` with the
// corners the piece covers (top-left, top-right, bottom-right, bottom-left);
// `draw` draws it untinted and deletes the texture.
using PixmapPieceDraw = std::function<void(uint32_t texture, const gl2d::Vertex (&corners)[4])>;
void DrawPixmapPieces(const Ref<TPixmap>& pixmap, int x, int y, const PixmapPieceDraw& draw);

// Where a 2D driver draws in the current context: its own picture (the
// scaled framebuffer of a context shown scaled), or an image frame's texture
// through a framebuffer object made for it. A texture's rows run up from
// GL's origin as the picture's rows run down from its top, so pixel rows
// are counted from the top in both.
class DrawSurface {
public:
    // Throws RuntimeError "Unable to draw into the image" when the GL cannot.
    void Target(const Ref<TImageFrame>& frame, int width, int height);
    // Back to the context's own picture; the framebuffer object stays with the frame.
    void Display();
    bool OnTarget() const { return onTarget_; }
    // The pixels drawing covers: the picture, or the context.
    int Width() const;
    int Height() const;
    // The GL's viewport: the whole texture, or the context.
    int GLWidth() const;
    int GLHeight() const;
    // GL's row of the lowest of `height` rows from pixel row y down.
    int GLRow(int y, int height) const;
    // The part inside the surface of its rectangle at x, y into the top-left
    // corner of the frame's texture, rows from the top as drawing into the
    // frame puts them; the scissor box does not clip it. Throws RuntimeError
    // "Unable to draw into the image" when the GL cannot.
    void CopyTo(const Ref<TImageFrame>& frame, int x, int y, int width, int height);

private:
    Ref<TImageFrame> frame_;
    bool onTarget_ = false;
    int width_ = 0, height_ = 0, textureWidth_ = 0, textureHeight_ = 0;
};

class TGLVex2DDriver : public TVex2DDriver {
public:
    String ToString() const override;

    std::vector<Ref<TGraphicsMode>> GraphicsModes() override;
    Ref<TGraphics> AttachGraphics(NativeWidget widget, GraphicsFlags flags) override;
    Ref<TGraphics> CreateGraphics(int width, int height, int depth, int hertz,
                                  GraphicsFlags flags) override;
    void SetGraphics(const Ref<TGraphics>& g) override;
    void Flip(bool sync) override;

    Ref<TImageFrame> CreateFrame(const Ref<TPixmap>& pixmap, ImageFlags flags) override;
    void SetBlend(BlendMode mode) override;
    void SetAlpha(float alpha) override;
    void SetColor(int red, int green, int blue) override;
    void SetFineColor(float red, float green, float blue) override;
    void SetClsColor(int red, int green, int blue) override;
    void SetViewport(int x, int y, int width, int height) override;
    void SetTransform(float ix, float iy, float jx, float jy) override;
    void SetLineWidth(float width) override;
    void Cls() override;
    void Plot(float x, float y) override;
    void DrawLine(float x0, float y0, float x1, float y1, float tx, float ty) override;
    void DrawRect(float x0, float y0, float x1, float y1, float tx, float ty) override;
    void DrawOval(float x0, float y0, float x1, float y1, float tx, float ty) override;
    void DrawPoly(const std::vector<float>& xy, float handleX, float handleY, float originX,
                  float originY) override;
    void DrawPixmap(const Ref<TPixmap>& pixmap, int x, int y) override;
    Ref<TPixmap> GrabPixmap(int x, int y, int width, int height) override;
    void SetTarget(const Ref<TImageFrame>& frame, int width, int height) override;
    Ref<TShader2D> CreateShader(const String& body) override;
    void SetShader(const Ref<TShader2D>& shader) override;
    void CopyToFrame(const Ref<TImageFrame>& frame, int x, int y, int width, int height) override;

    const Render2DState& State() const { return state_; }
    gl2d::FixedFunctionGL& FixedFunction() { return gl_; }

private:
    void ApplyColour();

    Render2DState state_;
    gl2d::FixedFunctionGL gl_;
    DrawSurface surface_;
};

// The fixed-function 2D driver, whatever ZANDREL_GL asks for.
const Ref<TVex2DDriver>& FixedFunction2DDriver();
TGLVex2DDriver& FixedFunction2D();

// A texture holding a picture in its top-left corner.
class TGLImageFrame : public TImageFrame {
public:
    ~TGLImageFrame() override;
    void Draw(float x0, float y0, float x1, float y1, float tx, float ty) override;

    float uMin = 0, vMin = 0, uMax = 0, vMax = 0;
    uint32_t texture = 0;
    int textureWidth = 0, textureHeight = 0;
    uint32_t seq = 0; // 0 once the texture is deleted
    // Drawing into the texture goes through this framebuffer object, made
    // the first time the frame is a render target and kept with it. Such
    // objects are not shared: it belongs to the context of that serial.
    uint32_t framebuffer = 0;
    uint64_t framebufferContext = 0;
};

// Deletes the frame's framebuffer object in its own context, made current
// for the moment when it is not; nothing is left to delete of a closed one.
void DeleteFrameFramebuffer(TGLImageFrame& frame);

// A new frame of the driver's frame class holding a texture of the pixmap.
// Throws RuntimeError "Pixmap is no object" for no pixmap.
template <class Frame>
Ref<TImageFrame> NewImageFrame(const Ref<TPixmap>& pixmap, ImageFlags flags) {
    if (!pixmap) throw RuntimeError("Pixmap is no object");
    auto made = MakeFrameTexture(pixmap, flags);
    auto frame = New<Frame>();
    frame->texture = made.texture;
    frame->seq = GraphicsSeq();
    frame->uMax = made.uMax;
    frame->vMax = made.vMax;
    frame->textureWidth = made.width;
    frame->textureHeight = made.height;
    return frame;
}

class TGLShader2D;
// The OpenGL shader of a shader made by either OpenGL 2D driver, compiled for
// the current context; null for none. Throws RuntimeError "Shader is not of
// this 2D driver" for another driver's, and as CreateShader2D.
TGLShader2D* PreparedShader(const Ref<TShader2D>& shader);

// Points of the polygon for an oval of radii xr, yr: at least 12, a multiple
// of 4, and bounded so that a huge oval cannot stall the frame.
int OvalSegments(float xr, float yr);

// The picture in the top-left corner of a texture-sized RGBA8888 pixmap, its
// last column and row repeated once into the margin, the rest transparent.
Ref<TPixmap> WithEdgeMargin(const Ref<TPixmap>& picture, int textureWidth, int textureHeight);

} // namespace zandrel
