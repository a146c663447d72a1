// The shader 2D driver's batcher: drawing collects in one vertex array while
// it shares texture, blend mode and kind of primitive, and goes to the GL as
// one draw call from one streamed vertex buffer through one shader program.
#pragma once

#include <zandrel/vex2d.hpp>

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

namespace zandrel {
class TGLShader2D;
}

namespace zandrel::gles {

struct Vertex {
    float x, y; // pixels from the top-left of the context
    float u, v;
    uint8_t rgba[4];
};

enum class Primitive : uint8_t { Triangles, Lines, Points };

// What one draw call shares. Texture 0 is none: the vertex colour alone.
struct BatchKey {
    uint32_t texture = 0;
    BlendMode blend = BlendMode::Solid;
    Primitive primitive = Primitive::Triangles;
    float lineWidth = 1;
    // SetFineColor's colour and the alpha: the program's tint instead of the
    // vertices' bytes.
    std::optional<std::array<float, 4>> fineTint;
    bool operator==(const BatchKey&) const = default;
};

// Room in the batch: vertices, and for triangles the indices of their
// corners, counted from `first`.
struct Room {
    Vertex* vertices;
    uint32_t* indices;
    uint32_t first;
};

// Triangles are drawn indexed, so that a quad takes four vertices; lines
// and points in the order given. A batch of quads alone is drawn with the
// shared quad indices, so that sprites write and send no indices at all.
class Batcher {
public:
    // Room for `vertexCount` vertices and, for triangles, `indexCount`
    // indices drawn with `key`, valid until the next call; what was batched
    // with another key is sent first.
    Room Reserve(const BatchKey& key, size_t vertexCount, size_t indexCount = 0);
    // Room for the corners of one quad, top-left, top-right, bottom-right,
    // bottom-left, drawn as two triangles with `key`.
    Vertex* ReserveQuad(const BatchKey& key);
    // Sends the batch to the current context as one draw call, pixels mapped
    // onto the current graphics' size; an empty batch sends nothing.
    void Flush();
    // Draw calls sent so far.
    int DrawCalls() const { return drawCalls_; }
    // Pixels mapped onto a texture of width x height, rows upward as a
    // texture's run; width 0: onto the current graphics, rows downward.
    void SetSurface(int width, int height) {
        surfaceWidth_ = width;
        surfaceHeight_ = height;
    }

    // Batches go out through the shader's program from now on, or through
    // the batcher's own for none. What is batched goes out first.
    void SetShader(TGLShader2D* shader) {
        Flush();
        shader_ = shader;
    }

private:
    void Start(const BatchKey& key);
    void WriteQuadIndices();

    // Grown, never shrunk: the counts say how much is in use.
    std::vector<Vertex> vertices_;
    std::vector<uint32_t> indices_;
    size_t vertexCount_ = 0, indexCount_ = 0;
    bool quadsOnly_ = true; // indices_ is not written while it holds

    BatchKey key_;
    int drawCalls_ = 0;
    int surfaceWidth_ = 0, surfaceHeight_ = 0;
    TGLShader2D* shader_ = nullptr;
};

} // namespace zandrel::gles
