#include "gles_batch.hpp"
#include "gl_shader2d.hpp"
#include "graphics/gl_context.hpp"
#include "graphics/gl_functions.hpp"
#include "graphics/gl_graphics.hpp"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <cstring>
#include <string>
#include <vector>

namespace zandrel::gles {

namespace {

// One body for both profiles: only the version line differs. A batch all
// in one colour, as sprites of one tint are, takes it as a uniform: no
// varying at all for the rasteriser to carry. Otherwise the colour is a
// plain varying, the same at every corner of a shape: a flat one would cost
// the software rasteriser its fast path for axis-aligned rectangles.
constexpr const char* VertexBody = R"(
in vec2 position;
in vec2 texCoord;
in vec4 colour;
uniform vec2 toClip;
uniform vec2 clipShift;
out vec2 uv;
#ifdef FINE_LEVELS
uniform vec4 fineTint;
flat out vec4 tint;
#elif !defined(ONE_COLOUR)
out vec4 tint;
#endif
void main() {
    uv = texCoord;
#ifdef FINE_LEVELS
    tint = fineTint;
#elif !defined(ONE_COLOUR)
    tint = colour;
#endif
    gl_Position = vec4(position * toClip + clipShift, 0.0, 1.0);
#ifdef POINTS
    gl_PointSize = 1.0;
#endif
}
)";

// Mask draws only what is at least half opaque, as an alpha test would.
// The other modes use a program without the test: dropping the clear
// fragments of Alpha and Light would give the same pixels, but a software
// rasteriser runs the test slower than the blend it saves (16 px sprites
// draw 13 % faster without it).
// Shapes without a texture take the colour alone: a program that samples
// nothing is one the software rasteriser runs on its fast path.
constexpr const char* FragmentBody = R"(
precision highp float;
#ifndef NO_PICTURE
uniform sampler2D picture;
in vec2 uv;
#endif
#ifdef ONE_COLOUR
uniform vec4 tint;
#elif defined(FINE_LEVELS)
flat in vec4 tint;
#else
in vec4 tint;
#endif
out vec4 fragColour;
void main() {
#ifdef NO_PICTURE
    vec4 c = tint;
#elif defined(FINE_LEVELS)
    vec4 texel = texture(picture, uv);
    vec4 c = vec4(round(texel.rgb * 255.0) * (1.0 / 255.0), texel.a) * tint;
#else
    vec4 c = texture(picture, uv) * tint;
#endif
#ifdef ALPHA_TEST
    if (c.a < 0.5) discard;
#endif
    fragColour = c;
}
)";

// A picture under a fine colour (SetFineColor) takes its texel as the 8-bit
// level times the single-precision 1/255 that the fixed-function driver
// converts with: products then round to the same levels as they are
// blended, halves included, so that many faint copies added up agree level
// for level with that driver's. The colour comes flat from the vertex
// stage, which the software rasteriser reads faster than a uniform on large
// quads. Those programs are made when first used.
// Each choice is a bit of the program's index.
constexpr unsigned AlphaTest = 1, SharedTint = 2, Points = 4, Untextured = 8, FineLevels = 16,
                   Variants = 32;

struct Program {
    GLuint name = 0;
    GLint toClip = -1, clipShift = -1, tint = -1, fineTint = -1;
};

// Made once per profile in its shared context, usable in all its contexts.
struct Resources {
    std::array<Program, Variants> programs;
    GLuint buffer = 0, indexBuffer = 0, quadIndexBuffer = 0;
    size_t bufferBytes = 0, indexBytes = 0; // storage the buffers have
    size_t quadCapacity = 0;                // quads the shared quad indices cover
};

std::array<Resources, 3> resources;

Program MakeProgram(unsigned variant) {
    std::string defines;
    if (variant & AlphaTest) defines += "#define ALPHA_TEST\n";
    if (variant & SharedTint) defines += "#define ONE_COLOUR\n";
    if (variant & Points) defines += "#define POINTS\n";
    if (variant & Untextured) defines += "#define NO_PICTURE\n";
    if (variant & FineLevels) defines += "#define FINE_LEVELS\n";
    Program made;
    made.name = BuildGLProgram((defines + VertexBody).c_str(), (defines + FragmentBody).c_str(),
                               {"position", "texCoord", "colour"});
    made.toClip = GL().GetUniformLocation(made.name, "toClip");
    made.clipShift = GL().GetUniformLocation(made.name, "clipShift");
    made.tint = GL().GetUniformLocation(made.name, "tint");
    made.fineTint = GL().GetUniformLocation(made.name, "fineTint");
    return made;
}

Resources& ResourcesFor(GLProfile profile) {
    Resources& made = resources[static_cast<size_t>(profile)];
    if (made.programs[0].name) return made;
    InSharedContext shared;
    auto& gl = GL();
    Resources fresh; // kept only when all of it is made
    for (unsigned variant = 0; variant < FineLevels; ++variant)
        fresh.programs[variant] = MakeProgram(variant);
    gl.GenBuffers(1, &fresh.buffer);
    gl.GenBuffers(1, &fresh.indexBuffer);
    gl.GenBuffers(1, &fresh.quadIndexBuffer);
    made = fresh;
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

// The mean area of a batch of quads in square pixels: half the cross
// product of each quad's diagonals.
double MeanQuadArea(const Vertex* v, size_t count) {
    double twiceTotal = 0;
    for (size_t k = 0; k + 3 < count; k += 4) {
        float ax = v[k + 2].x - v[k].x, ay = v[k + 2].y - v[k].y;
        float bx = v[k + 3].x - v[k + 1].x, by = v[k + 3].y - v[k + 1].y;
        twiceTotal += std::fabs(ax * by - ay * bx);
    }
    return twiceTotal / 2 / static_cast<double>(std::max<size_t>(count / 4, 1));
}

// One colour goes to the program as a uniform, which spares the rasteriser
// a varying to set up per triangle: that pays on small shapes. On large
// textured quads the software rasteriser fetches a uniform for each block of
// pixels at a higher cost than it interpolates the vertex colour (32 px
// sprites draw 5 % faster with the varying, 4 px sprites 12 % slower).
constexpr double LargeQuadArea = 512;

bool TakesTintAsUniform(const BatchKey& key, bool quadsOnly, const Vertex* vertices, size_t count) {
    if (!OneColour(vertices, count)) return false;
    return !(key.texture && quadsOnly && key.primitive == Primitive::Triangles &&
             MeanQuadArea(vertices, count) >= LargeQuadArea);
}

// The program for the batch, with its colour as a uniform when it takes one.
const Program& UseProgram(Resources& r, const BatchKey& key, bool quadsOnly, const Vertex* vertices,
                          size_t count) {
    auto& gl = GL();
    bool fineLevels = key.fineTint && key.texture;
    bool oneColour =
        !fineLevels && (key.fineTint || TakesTintAsUniform(key, quadsOnly, vertices, count));
    unsigned variant =
        (key.blend == BlendMode::Mask ? AlphaTest : 0u) | (oneColour ? SharedTint : 0u) |
        (key.primitive == Primitive::Points ? Points : 0u) | (key.texture == 0 ? Untextured : 0u) |
        (fineLevels ? FineLevels : 0u);
    if (!r.programs[variant].name) {
        InSharedContext shared;
        r.programs[variant] = MakeProgram(variant);
    }
    const Program& program = r.programs[variant];
    gl.UseProgram(program.name);
    if (key.fineTint) {
        const auto& t = *key.fineTint;
        gl.Uniform4f(fineLevels ? program.fineTint : program.tint, t[0], t[1], t[2], t[3]);
    } else if (oneColour) {
        const uint8_t* c = vertices[0].rgba;
        gl.Uniform4f(program.tint, c[0] / 255.0f, c[1] / 255.0f, c[2] / 255.0f, c[3] / 255.0f);
    }
    return program;
}

// Two triangles a quad: top-left, top-right, bottom-right and top-left,
// bottom-right, bottom-left.
void PutQuadIndices(uint32_t* i, uint32_t first) {
    i[0] = first, i[1] = first + 1, i[2] = first + 2;
    i[3] = first, i[4] = first + 2, i[5] = first + 3;
}

// The shared quad indices, grown to cover `quads`, bound for drawing.
void BindQuadIndices(Resources& r, size_t quads) {
    auto& gl = GL();
    gl.BindBuffer(GL_ELEMENT_ARRAY_BUFFER, r.quadIndexBuffer);
    if (quads <= r.quadCapacity) return;
    size_t capacity = std::max({quads, r.quadCapacity * 2, size_t{4096}});
    std::vector<uint32_t> indices(capacity * 6);
    for (size_t k = 0; k < capacity; ++k)
        PutQuadIndices(&indices[k * 6], static_cast<uint32_t>(k * 4));
    gl.BufferData(GL_ELEMENT_ARRAY_BUFFER, static_cast<GLsizeiptr>(indices.size() * 4),
                  indices.data(), GL_STATIC_DRAW);
    r.quadCapacity = capacity;
}

template <class T> T* Grown(std::vector<T>& items, size_t used, size_t more) {
    if (used + more > items.size()) items.resize(std::max(used + more, items.size() * 2));
    return items.data() + used;
}

} // namespace

void Batcher::Start(const BatchKey& key) {
    if (!(key == key_) && vertexCount_ > 0) Flush();
    key_ = key;
}

void Batcher::WriteQuadIndices() {
    size_t quads = vertexCount_ / 4;
    uint32_t* i = Grown(indices_, 0, quads * 6);
    for (size_t k = 0; k < quads; ++k)
        PutQuadIndices(i + k * 6, static_cast<uint32_t>(k * 4));
    indexCount_ = quads * 6;
}

Room Batcher::Reserve(const BatchKey& key, size_t vertexCount, size_t indexCount) {
    Start(key);
    if (quadsOnly_ && key.primitive == Primitive::Triangles) {
        WriteQuadIndices();
        quadsOnly_ = false;
    }
    Room room{Grown(vertices_, vertexCount_, vertexCount), Grown(indices_, indexCount_, indexCount),
              static_cast<uint32_t>(vertexCount_)};
    vertexCount_ += vertexCount;
    indexCount_ += indexCount;
    return room;
}

Vertex* Batcher::ReserveQuad(const BatchKey& key) {
    Start(key);
    Vertex* corners = Grown(vertices_, vertexCount_, 4);
    if (!quadsOnly_) {
        PutQuadIndices(Grown(indices_, indexCount_, 6), static_cast<uint32_t>(vertexCount_));
        indexCount_ += 6;
    }
    vertexCount_ += 4;
    return corners;
}

// Every piece of state is set again: a program's own GL calls between
// flushes may have changed any of it.
void Batcher::Flush() {
    if (vertexCount_ == 0) return;
    size_t vertexCount = vertexCount_, indexCount = indexCount_;
    bool quadsOnly = quadsOnly_;
    vertexCount_ = indexCount_ = 0;
    quadsOnly_ = true;
    bool rowsDown = surfaceWidth_ == 0;
    int width = rowsDown ? GraphicsWidth() : surfaceWidth_;
    int height = rowsDown ? GraphicsHeight() : surfaceHeight_;
    GLContext* context = native::CurrentGLContext();
    if (!context || context->profile == GLProfile::Compatibility || width <= 0 || height <= 0)
        return;
    Resources& r = ResourcesFor(context->profile);
    Shader2DInputs own;
    if (shader_) own = shader_->Use(key_.texture != 0, key_.blend == BlendMode::Mask);
    auto& gl = GL();
    BindVertexArray(*context, r);
    Upload(GL_ARRAY_BUFFER, r.bufferBytes, vertices_.data(), vertexCount * sizeof(Vertex));
    if (!shader_) {
        const Program& program = UseProgram(r, key_, quadsOnly, vertices_.data(), vertexCount);
        own = {program.toClip, program.clipShift};
    }
    float down = rowsDown ? -1.0f : 1.0f;
    gl.Uniform2f(own.toClip, 2.0f / static_cast<float>(width),
                 down * 2.0f / static_cast<float>(height));
    gl.Uniform2f(own.clipShift, -1.0f, -down);
    ApplyBlend(key_.blend);
    gl.ActiveTexture(GL_TEXTURE0);
    if (key_.texture) gl.BindTexture(GL_TEXTURE_2D, key_.texture);
    if (key_.primitive == Primitive::Lines) gl.LineWidth(key_.lineWidth);
    if (key_.primitive != Primitive::Triangles) {
        gl.DrawArrays(ModeOf(key_.primitive), 0, static_cast<GLsizei>(vertexCount));
    } else if (quadsOnly) {
        BindQuadIndices(r, vertexCount / 4);
        gl.DrawElements(GL_TRIANGLES, static_cast<GLsizei>(vertexCount / 4 * 6), GL_UNSIGNED_INT,
                        nullptr);
    } else {
        Upload(GL_ELEMENT_ARRAY_BUFFER, r.indexBytes, indices_.data(),
               indexCount * sizeof(uint32_t));
        gl.DrawElements(GL_TRIANGLES, static_cast<GLsizei>(indexCount), GL_UNSIGNED_INT, nullptr);
    }
    ++drawCalls_;
}

} // namespace zandrel::gles
