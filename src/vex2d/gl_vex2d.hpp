// The OpenGL 2D driver's class, its image frame, and the helpers the tests look at.
#pragma once

#include <zandrel/vex2d.hpp>

namespace zandrel {

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
};

// A texture holding a picture in its top-left corner.
class TGLImageFrame : public TImageFrame {
public:
    ~TGLImageFrame() override;
    void Draw(float x0, float y0, float x1, float y1, float tx, float ty) override;

    float uMin = 0, vMin = 0, uMax = 0, vMax = 0;
    uint32_t texture = 0;
    uint32_t seq = 0; // 0 once the texture is deleted
};

// Points of the polygon for an oval of radii xr, yr: at least 12, a multiple
// of 4, and bounded so that a huge oval cannot stall the frame.
int OvalSegments(float xr, float yr);

// The picture in the top-left corner of a texture-sized RGBA8888 pixmap, its
// last column and row repeated once into the margin, the rest transparent.
Ref<TPixmap> WithEdgeMargin(const Ref<TPixmap>& picture, int textureWidth, int textureHeight);

} // namespace zandrel
