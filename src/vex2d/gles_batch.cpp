#include "gles_batch.hpp"
#include "graphics/gl_context.hpp"
#include "graphics/gl_functions.hpp"
#include "graphics/gl_graphics.hpp"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstring>
#include <string>

namespace zandrel::gles {

namespace {

// One body for both profiles: only the version line differs. Every shape
// has one colour, so it is not interpolated: less for a rasteriser to set up.
// A batch all in one colour, as sprites of one tint are, takes it as a
// uniform: no varying at all for the rasteriser to carry.
constexpr const char* VertexBody = R"(
in vec2 position;
in vec2 texCoord;
in vec4 colour;
uniform vec2 toClip;
out vec2 uv;
#ifndef ONE_COLOUR
flat out vec4 tint;
#endif
void main() {
    uv = texCoord;
#ifndef ONE_COLOUR
    tint = colour;
#endif
    gl_Position = vec4(position * toClip + vec2(-1.0, 1.0), 0.0, 1.0);
    gl_PointSize = 1.0;
}
)";

// Mask draws only what is at least half opaque, as an alpha test would; the
// other modes use a program without the test, which rasterisers run faster.
constexpr const char* FragmentBody = R"(
precision highp float;
uniform sampler2D picture;
in vec2 uv;
#ifdef ONE_COLOUR
uniform vec4 tint;
#else
flat in vec4 tint;
#endif
out vec4 fragColour;
void main() {
    vec4 c = texture(picture, uv) * tint;
#ifdef ALPHA_TEST
    if (c.a < 0.5) discard;
#endif
    fragColour = c;
}
)";

constexpr const char* AlphaTest = "#define ALPHA_TEST\n";
constexpr const char* SharedTint = "#define ONE_COLOUR\n";

struct Program {
    GLuint name = 0;
    GLint toClip = -1, tint = -1;
};

// Made once per profile in its shared context, usable in all its contexts.
struct Resources {
    Program plain, masked, plainOneColour, maskedOneColour;
    GLuint buffer = 0, indexBuffer = 0, white = 0;
    size_t bufferBytes = 0, indexBytes = 0; // storage the buffers have
};

std::array<Resources, 3> resources;

Program MakeProgram(const std::string& defines) {
    Program made;
    made.name = BuildGLProgram((defines + VertexBody).c_str(), (defines + FragmentBody).c_str(),
                               {"position", "texCoord", "colour"});
    made.toClip = GL().GetUniformLocation(made.name, "toClip");
    made.tint = GL().GetUniformLocation(made.name, "tint");
    return made;
}

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

Resources& ResourcesFor(GLProfile profile) {
    Resources& made = resources[static_cast<size_t>(profile)];
    if (made.plain.name) return made;
    TheGLGraphicsDriver().ToggleSharedContext();
    try {
        auto& gl = GL();
        Resources fresh; // kept only when all of it is made
        fresh.plain = MakeProgram("");
        fresh.masked = MakeProgram(AlphaTest);
        fresh.plainOneColour = MakeProgram(SharedTint);
        fresh.maskedOneColour = MakeProgram(std::string(AlphaTest) + SharedTint);
        gl.GenBuffers(1, &fresh.buffer);
        gl.GenBuffers(1, &fresh.indexBuffer);
        fresh.white = WhiteTexture();
        made = fresh;
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
        gl.BindBuffer(GL_ELEMENT_ARRAY_BUFFER, r.indexBuffer);
        return;
    }
    gl.GenVertexArrays(1, &context.vertexArray);
    gl.BindVertexArray(context.vertexArray);
    gl.BindBuffer(GL_ARRAY_BUFFER, r.buffer);
    gl.BindBuffer(GL_ELEMENT_ARRAY_BUFFER, r.indexBuffer);
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

// Storage is made only to grow: new storage for every batch would cost the
// GL an allocation and fresh pages each time.
void Upload(GLenum target, size_t& capacity, const void* data, size_t bytes) {
    auto& gl = GL();
    if (bytes > capacity) {
        capacity = std::max(bytes, capacity * 2);
        gl.BufferData(target, static_cast<GLsizeiptr>(capacity), nullptr, GL_STREAM_DRAW);
    }
    gl.BufferSubData(target, 0, static_cast<GLsizeiptr>(bytes), data);
}

bool OneColour(const Vertex* vertices, size_t count) {
    for (size_t k = 1; k < count; ++k)
        if (std::memcmp(vertices[k].rgba, vertices[0].rgba, sizeof vertices[0].rgba) != 0)
            return false;
    return true;
}

// The program for the batch; one colour goes to it as a uniform.
const Program& UseProgram(const Resources& r, BlendMode blend, const Vertex* vertices,
                          size_t count) {
    auto& gl = GL();
    bool masked = blend == BlendMode::Mask;
    if (!OneColour(vertices, count)) {
        const Program& program = masked ? r.masked : r.plain;
        gl.UseProgram(program.name);
        return program;
    }
    const Program& program = masked ? r.maskedOneColour : r.plainOneColour;
    gl.UseProgram(program.name);
    const uint8_t* c = vertices[0].rgba;
    gl.Uniform4f(program.tint, c[0] / 255.0f, c[1] / 255.0f, c[2] / 255.0f, c[3] / 255.0f);
    return program;
}

template <class T> T* Grown(std::vector<T>& items, size_t used, size_t more) {
    if (used + more > items.size()) items.resize(std::max(used + more, items.size() * 2));
    return items.data() + used;
}

} // namespace

Room Batcher::Reserve(const BatchKey& key, size_t vertexCount, size_t indexCount) {
    if (!(key == key_) && vertexCount_ > 0) Flush();
    key_ = key;
    Room room{Grown(vertices_, vertexCount_, vertexCount), Grown(indices_, indexCount_, indexCount),
              static_cast<uint32_t>(vertexCount_)};
    vertexCount_ += vertexCount;
    indexCount_ += indexCount;
    return room;
}

// Every piece of state is set again: a program's own GL calls between
// flushes may have changed any of it.
void Batcher::Flush() {
    if (vertexCount_ == 0) return;
    size_t vertexCount = vertexCount_, indexCount = indexCount_;
    vertexCount_ = indexCount_ = 0;
    int width = GraphicsWidth(), height = GraphicsHeight();
    GLContext* context = native::CurrentGLContext();
    if (!context || context->profile == GLProfile::Compatibility || width <= 0 || height <= 0)
        return;
    Resources& r = ResourcesFor(context->profile);
    auto& gl = GL();
    BindVertexArray(*context, r);
    Upload(GL_ARRAY_BUFFER, r.bufferBytes, vertices_.data(), vertexCount * sizeof(Vertex));
    const Program& program = UseProgram(r, key_.blend, vertices_.data(), vertexCount);
    gl.Uniform2f(program.toClip, 2.0f / static_cast<float>(width),
                 -2.0f / static_cast<float>(height));
    ApplyBlend(key_.blend);
    gl.ActiveTexture(GL_TEXTURE0);
    gl.BindTexture(GL_TEXTURE_2D, key_.texture ? key_.texture : r.white);
    if (key_.primitive == Primitive::Lines) gl.LineWidth(key_.lineWidth);
    if (key_.primitive == Primitive::Triangles) {
        Upload(GL_ELEMENT_ARRAY_BUFFER, r.indexBytes, indices_.data(),
               indexCount * sizeof(uint32_t));
        gl.DrawElements(GL_TRIANGLES, static_cast<GLsizei>(indexCount), GL_UNSIGNED_INT, nullptr);
    } else {
        gl.DrawArrays(ModeOf(key_.primitive), 0, static_cast<GLsizei>(vertexCount));
    }
    ++drawCalls_;
}

} // namespace zandrel::gles
