// The fixed-function OpenGL calls of the 2D driver, with its caches of the
// blend mode, the bound texture and texture enabling. Everything here acts on the current
// GL context.
#pragma once

#include <zandrel/vex2d.hpp>

#include <cstdint>

namespace zandrel {
class TGLShader2D;
}

namespace zandrel::gl2d {

struct Vertex {
    float x, y;
};

// The fixed-function GL calls of one 2D driver, which keeps the caches.
class FixedFunctionGL {
public:
    // For a context just made current: forgets the caches, turns texturing off,
    // sets the pixel projection (y down) and the viewport to the whole context.
    void StartContext(int width, int height);
    // One unit a pixel over the width x height framebuffer, the viewport all
    // of it; `rowsDown`: y grows downward, as on screen, else upward, as a
    // texture's rows run.
    void SetProjection(int width, int height, bool rowsDown);

    // Cached: the same mode twice sets the GL once. BlendMode{} is "not set".
    void SetBlend(BlendMode mode);
    BlendMode Blend();
    void SetColor(const uint8_t rgba[4]);
    void SetColor(const float rgba[4]);
    void SetClearColor(int red, int green, int blue);
    // Off for the whole context; otherwise GL's scissor box, rows from the bottom.
    void SetScissor(bool on, int x, int y, int width, int height);
    void SetLineWidth(float width);
    void Clear();

    void DrawPoint(Vertex at);
    void DrawLine(Vertex from, Vertex to);
    void DrawQuad(const Vertex (&corners)[4]);
    void DrawPolygon(const Vertex* points, int count);
    // Corners top-left, top-right, bottom-right, bottom-left of the picture.
    void DrawTexturedQuad(uint32_t texture, const Vertex (&corners)[4], float u0, float v0,
                          float u1, float v1);

    // Draws through the shader's program from now on, or fixed-function
    // again for none.
    void SetShader(TGLShader2D* shader);

    // The cache forgets the name, which the GL may hand out again.
    void DeleteTexture(uint32_t texture);

    // Rows from the bottom of the back buffer into an RGBA8888 pixmap.
    void ReadPixels(TPixmap& into, int x, int yFromBottom);

private:
    struct Cache {
        BlendMode blend{};
        uint32_t texture = 0;
        bool texturing = false;
    };
    void BindTexture(uint32_t texture);
    void EnableTexture(uint32_t texture);
    void DisableTexture();
    // Before each primitive: the shader's program, told whether it samples.
    void Shade(bool textured);

    Cache cache_;
    TGLShader2D* shader_ = nullptr;
};

} // namespace zandrel::gl2d
