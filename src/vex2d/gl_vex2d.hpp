// The OpenGL 2D driver's image frame, and its helpers the tests look at.
#pragma once

#include <zandrel/vex2d.hpp>

namespace zandrel {

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
