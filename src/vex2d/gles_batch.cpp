#include "gles_batch.hpp"
#include "graphics/gl_context.hpp"
#include "graphics/gl_functions.hpp"
#include "graphics/gl_graphics.hpp"

#include <array>
#include <cstddef>

namespace zandrel::gles {

namespace {

// One body for both profiles: only the version line differs.
constexpr const char* VertexBody = R"(
in vec2 position;
in vec2 texCoord;
in vec4 colour;
uniform vec2 toClip;
out vec2 uv;
out vec4 tint;
void main() {
    uv = texCoord;
    tint = colour;
    gl_Position = vec4(position * toClip + vec2(-1.0, 1.0), 0.0, 1.0);
    gl_PointSize = 1.0;
}
)";

// Mask draws only what is at least half opaque, as an alpha test would.
constexpr const char* FragmentBody = R"(
precision highp float;
uniform sampler2D picture;
uniform float alphaCut;
in vec2 uv;
in vec4 tint;
out vec4 fragColour;
void main() {
    vec4 c = texture(picture, uv) * tint;
    if (c.a < alphaCut) discard;
    fragColour = c;
}
)";

// Made once per profile in its shared context, usable in all its contexts.
struct Resources {
    GLuint program = 0, buffer = 0, white = 0;
    GLint toClip = -1, alphaCut = -1;
};

std::array<Resources, 3> resources;

GLuint WhiteTexture() {
    auto& gl = GL();
    const uint8_t white[4] = {255, 255, 255, 255};
    GLuint texture = 0;
    gl.GenTextures(1, &texture);
    gl.BindTexture(GL_TEXTURE_2D, texture);
    gl.TexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    gl.TexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    gl.TexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, 1, 1, 0, GL_RGBA, GL_UNSIGNED_BYTE, white);
    gl.Flush(); // drawn in other contexts
    return texture;
}

const Resources& ResourcesFor(GLProfile profile) {
    Resources& made = resources[static_cast<size_t>(profile)];
    if (made.program) return made;
    TheGLGraphicsDriver().ToggleSharedContext();
    try {
        auto& gl = GL();
        made.program = BuildGLProgram(VertexBody, FragmentBody, {"position", "texCoord", "colour"});
        made.toClip = gl.GetUniformLocation(made.program, "toClip");
        made.alphaCut = gl.GetUniformLocation(made.program, "alphaCut");
        gl.GenBuffers(1, &made.buffer);
        made.white = WhiteTexture();
    } catch (...) {
        TheGLGraphicsDriver().ToggleSharedContext();
        throw;
    }
    TheGLGraphicsDriver().ToggleSharedContext();
    return made;
}

// Vertex arrays belong to one context: each context makes its own.
void BindVertexArray(GLContext& context, const Resources& r) {
    auto& gl = GL();
    if (context.vertexArray) {
        gl.BindVertexArray(context.vertexArray);
        gl.BindBuffer(GL_ARRAY_BUFFER, r.buffer);
        return;
    }
    gl.GenVertexArrays(1, &context.vertexArray);
    gl.BindVertexArray(context.vertexArray);
    gl.BindBuffer(GL_ARRAY_BUFFER, r.buffer);
    constexpr GLsizei stride = sizeof(Vertex);
    gl.EnableVertexAttribArray(0);
    gl.EnableVertexAttribArray(1);
    gl.EnableVertexAttribArray(2);
    gl.VertexAttribPointer(0, 2, GL_FLOAT, GL_FALSE, stride,
                           reinterpret_cast<const void*>(offsetof(Vertex, x)));
    gl.VertexAttribPointer(1, 2, GL_FLOAT, GL_FALSE, stride,
                           reinterpret_cast<const void*>(offsetof(Vertex, u)));
    gl.VertexAttribPointer(2, 4, GL_UNSIGNED_BYTE, GL_TRUE, stride,
                           reinterpret_cast<const void*>(offsetof(Vertex, rgba)));
}

void ApplyBlend(BlendMode mode) {
    auto& gl = GL();
    switch (mode) {
    case BlendMode::Alpha:
        gl.Enable(GL_BLEND);
        gl.BlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
        return;
    case BlendMode::Light:
        gl.Enable(GL_BLEND);
        gl.BlendFunc(GL_SRC_ALPHA, GL_ONE);
        return;
    case BlendMode::Shade:
        gl.Enable(GL_BLEND);
        gl.BlendFunc(GL_DST_COLOR, GL_ZERO);
        return;
    default:
        gl.Disable(GL_BLEND);
        return;
    }
}

GLenum ModeOf(Primitive primitive) {
    switch (primitive) {
    case Primitive::Lines:
        return GL_LINES;
    case Primitive::Points:
        return GL_POINTS;
    default:
        return GL_TRIANGLES;
    }
}

} // namespace

Vertex* Batcher::Reserve(const BatchKey& key, size_t count) {
    if (!(key == key_) && !vertices_.empty()) Flush();
    key_ = key;
    size_t start = vertices_.size();
    vertices_.resize(start + count);
    return vertices_.data() + start;
}

// Every piece of state is set again: a program's own GL calls between
// flushes may have changed any of it.
void Batcher::Flush() {
    if (vertices_.empty()) return;
    int width = GraphicsWidth(), height = GraphicsHeight();
    GLContext* context = native::CurrentGLContext();
    if (!context || context->profile == GLProfile::Compatibility || width <= 0 || height <= 0) {
        vertices_.clear();
        return;
    }
    const Resources& r = ResourcesFor(context->profile);
    auto& gl = GL();
    BindVertexArray(*context, r);
    gl.BufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(vertices_.size() * sizeof(Vertex)),
                  vertices_.data(), GL_STREAM_DRAW);
    gl.UseProgram(r.program);
    gl.Uniform2f(r.toClip, 2.0f / static_cast<float>(width), -2.0f / static_cast<float>(height));
    gl.Uniform1f(r.alphaCut, key_.blend == BlendMode::Mask ? 0.5f : -1.0f);
    ApplyBlend(key_.blend);
    gl.ActiveTexture(GL_TEXTURE0);
    gl.BindTexture(GL_TEXTURE_2D, key_.texture ? key_.texture : r.white);
    if (key_.primitive == Primitive::Lines) gl.LineWidth(key_.lineWidth);
    gl.DrawArrays(ModeOf(key_.primitive), 0, static_cast<GLsizei>(vertices_.size()));
    ++drawCalls_;
    vertices_.clear();
}

} // namespace zandrel::gles
