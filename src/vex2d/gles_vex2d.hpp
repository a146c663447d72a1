// The shader 2D driver's class and its image frame.
#pragma once

#include "gl_vex2d.hpp"
#include "gles_batch.hpp"

namespace zandrel {

class TGLES2DDriver : public TVex2DDriver {
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
    void Flush() override;
    void SetTarget(const Ref<TImageFrame>& frame, int width, int height) override;
    Ref<TShader2D> CreateShader(const String& body) override;
    void SetShader(const Ref<TShader2D>& shader) override;
    void CopyToFrame(const Ref<TImageFrame>& frame, int x, int y, int width, int height) override;

    // A frame's picture onto the local rectangle, as TImageFrame::Draw.
    void DrawFrame(uint32_t texture, const float (&uv)[4], float x0, float y0, float x1, float y1,
                   float tx, float ty);
    // Draw calls of the frame the latest Flip presented, and of the frame
    // being drawn so far.
    int LastFrameDrawCalls() const { return lastFrameDrawCalls_; }
    int DrawCallsSoFar() const { return batch_.DrawCalls() - frameStart_; }

private:
    // The key with the fine colour, when there is one.
    gles::BatchKey Keyed(gles::BatchKey key) const;
    void Quad(const gles::BatchKey& key, const gl2d::Vertex (&corners)[4], const float (&uv)[4],
              const uint8_t (&colour)[4]);
    void Fan(const std::vector<gl2d::Vertex>& points);

    Render2DState state_;
    DrawSurface surface_;
    BlendMode blend_ = BlendMode::Solid;
    float lineWidth_ = 1;
    uint8_t clear_[3] = {0, 0, 0};
    gles::Batcher batch_;
    int frameStart_ = 0, lastFrameDrawCalls_ = 0;
};

TGLES2DDriver& TheGLES2DDriver();

// A frame the shader driver draws; its texture as the OpenGL driver's.
class TGLESImageFrame : public TGLImageFrame {
public:
    // Drawing still batched with the texture goes out before it is deleted.
    ~TGLESImageFrame() override;
    void Draw(float x0, float y0, float x1, float y1, float tx, float ty) override;
};

} // namespace zandrel
