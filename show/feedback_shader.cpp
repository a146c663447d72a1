// The effects on GLES 3 and core contexts: the same quads, projected on the
// processor as the fixed-function pipeline would, drawn by a program of the
// show's own through the GL functions the framework looks up. Each effect
// puts back exactly the state the 2D driver keeps in the GL.
#include "feedback_painter.hpp"

#include <zandrel/graphics.hpp>
#include <zandrel/runtime.hpp>
#include <zandrel/vex2d.hpp>

#include <GL/gl.h>
#include <GL/glext.h>

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace zandrel::show {

namespace {

// The GL functions of the effects, looked up through the framework rather
// than linked, as a program on any of its platforms does.
struct ShaderFunctions {
    decltype(&::glGetIntegerv) GetIntegerv;
    decltype(&::glGetFloatv) GetFloatv;
    decltype(&::glIsEnabled) IsEnabled;
    decltype(&::glEnable) Enable;
    decltype(&::glDisable) Disable;
    decltype(&::glBindTexture) BindTexture;
    decltype(&::glClearColor) ClearColor;
    decltype(&::glClear) Clear;
    decltype(&::glBlendFunc) BlendFunc;
    decltype(&::glTexParameteri) TexParameteri;
    decltype(&::glDrawArrays) DrawArrays;
    decltype(&::glCopyTexSubImage2D) CopyTexSubImage2D;
    decltype(&::glGenTextures) GenTextures;
    decltype(&::glDeleteTextures) DeleteTextures;
    decltype(&::glPixelStorei) PixelStorei;
    decltype(&::glTexImage2D) TexImage2D;
    PFNGLCREATESHADERPROC CreateShader;
    PFNGLSHADERSOURCEPROC ShaderSource;
    PFNGLCOMPILESHADERPROC CompileShader;
    PFNGLGETSHADERIVPROC GetShaderiv;
    PFNGLGETSHADERINFOLOGPROC GetShaderInfoLog;
    PFNGLDELETESHADERPROC DeleteShader;
    PFNGLCREATEPROGRAMPROC CreateProgram;
    PFNGLATTACHSHADERPROC AttachShader;
    PFNGLBINDATTRIBLOCATIONPROC BindAttribLocation;
    PFNGLLINKPROGRAMPROC LinkProgram;
    PFNGLGETPROGRAMIVPROC GetProgramiv;
    PFNGLGETUNIFORMLOCATIONPROC GetUniformLocation;
    PFNGLUSEPROGRAMPROC UseProgram;
    PFNGLDELETEPROGRAMPROC DeleteProgram;
    PFNGLDELETEVERTEXARRAYSPROC DeleteVertexArrays;
    PFNGLDELETEBUFFERSPROC DeleteBuffers;
    PFNGLUNIFORM1IPROC Uniform1i;
    PFNGLUNIFORM4FPROC Uniform4f;
    PFNGLGENVERTEXARRAYSPROC GenVertexArrays;
    PFNGLBINDVERTEXARRAYPROC BindVertexArray;
    PFNGLGENBUFFERSPROC GenBuffers;
    PFNGLBINDBUFFERPROC BindBuffer;
    PFNGLBUFFERDATAPROC BufferData;
    PFNGLVERTEXATTRIBPOINTERPROC VertexAttribPointer;
    PFNGLENABLEVERTEXATTRIBARRAYPROC EnableVertexAttribArray;
    PFNGLACTIVETEXTUREPROC ActiveTexture;
    PFNGLBINDSAMPLERPROC BindSampler;
    PFNGLBLENDFUNCSEPARATEPROC BlendFuncSeparate;
};

template <class Function> void Look(Function& function, const char* name) {
    function = reinterpret_cast<Function>(GLProcAddress(name));
    if (!function) throw RuntimeError(S("The feedback effects need the GL function ") + S(name));
}

const ShaderFunctions& GL() {
    static ShaderFunctions gl = [] {
        ShaderFunctions f{};
        Look(f.GetIntegerv, "glGetIntegerv");
        Look(f.GetFloatv, "glGetFloatv");
        Look(f.IsEnabled, "glIsEnabled");
        Look(f.Enable, "glEnable");
        Look(f.Disable, "glDisable");
        Look(f.BindTexture, "glBindTexture");
        Look(f.ClearColor, "glClearColor");
        Look(f.Clear, "glClear");
        Look(f.BlendFunc, "glBlendFunc");
        Look(f.TexParameteri, "glTexParameteri");
        Look(f.DrawArrays, "glDrawArrays");
        Look(f.CopyTexSubImage2D, "glCopyTexSubImage2D");
        Look(f.GenTextures, "glGenTextures");
        Look(f.DeleteTextures, "glDeleteTextures");
        Look(f.PixelStorei, "glPixelStorei");
        Look(f.TexImage2D, "glTexImage2D");
        Look(f.CreateShader, "glCreateShader");
        Look(f.ShaderSource, "glShaderSource");
        Look(f.CompileShader, "glCompileShader");
        Look(f.GetShaderiv, "glGetShaderiv");
        Look(f.GetShaderInfoLog, "glGetShaderInfoLog");
        Look(f.DeleteShader, "glDeleteShader");
        Look(f.CreateProgram, "glCreateProgram");
        Look(f.AttachShader, "glAttachShader");
        Look(f.BindAttribLocation, "glBindAttribLocation");
        Look(f.LinkProgram, "glLinkProgram");
        Look(f.GetProgramiv, "glGetProgramiv");
        Look(f.GetUniformLocation, "glGetUniformLocation");
        Look(f.UseProgram, "glUseProgram");
        Look(f.DeleteProgram, "glDeleteProgram");
        Look(f.DeleteVertexArrays, "glDeleteVertexArrays");
        Look(f.DeleteBuffers, "glDeleteBuffers");
        Look(f.Uniform1i, "glUniform1i");
        Look(f.Uniform4f, "glUniform4f");
        Look(f.GenVertexArrays, "glGenVertexArrays");
        Look(f.BindVertexArray, "glBindVertexArray");
        Look(f.GenBuffers, "glGenBuffers");
        Look(f.BindBuffer, "glBindBuffer");
        Look(f.BufferData, "glBufferData");
        Look(f.VertexAttribPointer, "glVertexAttribPointer");
        Look(f.EnableVertexAttribArray, "glEnableVertexAttribArray");
        Look(f.ActiveTexture, "glActiveTexture");
        Look(f.BindSampler, "glBindSampler");
        Look(f.BlendFuncSeparate, "glBlendFuncSeparate");
        return f;
    }();
    return gl;
}

// Positions arrive in clip coordinates: the projection is done on the processor.
constexpr const char* vertexSource = R"(
in vec4 position;
in vec2 texCoord;
in vec3 colour;
out vec2 frameCoord;
flat out vec3 tint;
void main() {
    frameCoord = texCoord;
    tint = colour;
    gl_Position = position;
}
)";

// The texture modulated by the colour, as the fixed-function default does,
// with the texel taken as its 8-bit level times the single-precision 1/255
// that the fixed-function path converts with: the products then round to the
// same levels as they are blended, halves included, so that frames of many
// faint passes agree level for level. The colour comes with the corners,
// flat: the software rasteriser fetches a uniform for every block of pixels
// at a cost that a constant input does not have, and the zoom's and the
// blur's passes draw 5-15 % faster this way.
constexpr const char* weightedSource = R"(
precision highp float;
uniform sampler2D frame;
in vec2 frameCoord;
flat in vec3 tint;
out vec4 fragment;
void main() {
    vec4 texel = texture(frame, frameCoord);
    vec3 level = round(texel.rgb * 255.0) * (1.0 / 255.0);
    fragment = vec4(level * tint, texel.a);
}
)";

// Under a white colour the texel goes out unweighted, and any rounding of its
// level comes back to that level as it is stored: nothing to reproduce, and
// the simplest shader is the one the rasteriser runs fastest.
constexpr const char* unweightedSource = R"(
precision highp float;
uniform sampler2D frame;
in vec2 frameCoord;
out vec4 fragment;
void main() {
    fragment = vec4(texture(frame, frameCoord).rgb, 1.0);
}
)";

GLuint Compile(GLenum kind, const char* body) {
    const ShaderFunctions& gl = GL();
    const char* version =
        CurrentGLProfile() == GLProfile::ES ? "#version 300 es\n" : "#version 330 core\n";
    const char* parts[2] = {version, body};
    GLuint shader = gl.CreateShader(kind);
    gl.ShaderSource(shader, 2, parts, nullptr);
    gl.CompileShader(shader);
    GLint compiled = 0;
    gl.GetShaderiv(shader, GL_COMPILE_STATUS, &compiled);
    if (!compiled) {
        char log[1024] = {};
        gl.GetShaderInfoLog(shader, sizeof log, nullptr, log);
        throw RuntimeError(S("A feedback shader does not compile: ") + S(log));
    }
    return shader;
}

GLuint Link(const char* fragmentBody) {
    const ShaderFunctions& gl = GL();
    GLuint vertex = Compile(GL_VERTEX_SHADER, vertexSource);
    GLuint fragment = Compile(GL_FRAGMENT_SHADER, fragmentBody);
    GLuint program = gl.CreateProgram();
    gl.AttachShader(program, vertex);
    gl.AttachShader(program, fragment);
    gl.BindAttribLocation(program, 0, "position");
    gl.BindAttribLocation(program, 1, "texCoord");
    gl.BindAttribLocation(program, 2, "colour");
    gl.LinkProgram(program);
    gl.DeleteShader(vertex);
    gl.DeleteShader(fragment);
    GLint linked = 0;
    gl.GetProgramiv(program, GL_LINK_STATUS, &linked);
    if (!linked) throw RuntimeError(S("The feedback shader program does not link"));
    return program;
}

struct ShaderObjects {
    GLuint weighted = 0, unweighted = 0, vertexArray = 0, buffer = 0;
    uint32_t graphicsSeq = 0; // of the display they were made for
};
ShaderObjects objects;

// Those made for the display still open go; those of a display since closed
// went with its context.
void DeleteObjectsOfThisDisplay(const ShaderFunctions& gl) {
    if (!objects.weighted || objects.graphicsSeq != GraphicsSeq()) return;
    gl.DeleteProgram(objects.weighted);
    gl.DeleteProgram(objects.unweighted);
    gl.DeleteVertexArrays(1, &objects.vertexArray);
    gl.DeleteBuffers(1, &objects.buffer);
    objects = ShaderObjects();
}

// One corner as drawn: clip coordinates, texture coordinates, then the colour.
struct ClipVertex {
    float x, y, z, w, s, t, r, g, b;
};

// What the 2D driver keeps in the GL and the effects change.
struct DriverState {
    GLint program = 0, vertexArray = 0, buffer = 0, activeTexture = 0, texture = 0, sampler = 0;
    GLint blendSrcRgb = 0, blendDstRgb = 0, blendSrcAlpha = 0, blendDstAlpha = 0;
    GLboolean blend = GL_FALSE, depthTest = GL_FALSE;

    void Save(const ShaderFunctions& gl) {
        GL().GetIntegerv(GL_CURRENT_PROGRAM, &program);
        GL().GetIntegerv(GL_VERTEX_ARRAY_BINDING, &vertexArray);
        GL().GetIntegerv(GL_ARRAY_BUFFER_BINDING, &buffer);
        GL().GetIntegerv(GL_ACTIVE_TEXTURE, &activeTexture);
        gl.ActiveTexture(GL_TEXTURE0);
        GL().GetIntegerv(GL_TEXTURE_BINDING_2D, &texture);
        GL().GetIntegerv(GL_SAMPLER_BINDING, &sampler);
        GL().GetIntegerv(GL_BLEND_SRC_RGB, &blendSrcRgb);
        GL().GetIntegerv(GL_BLEND_DST_RGB, &blendDstRgb);
        GL().GetIntegerv(GL_BLEND_SRC_ALPHA, &blendSrcAlpha);
        GL().GetIntegerv(GL_BLEND_DST_ALPHA, &blendDstAlpha);
        blend = GL().IsEnabled(GL_BLEND);
        depthTest = GL().IsEnabled(GL_DEPTH_TEST);
    }
    void Restore(const ShaderFunctions& gl) const {
        gl.UseProgram(static_cast<GLuint>(program));
        gl.BindVertexArray(static_cast<GLuint>(vertexArray));
        gl.BindBuffer(GL_ARRAY_BUFFER, static_cast<GLuint>(buffer));
        GL().BindTexture(GL_TEXTURE_2D, static_cast<GLuint>(texture));
        gl.BindSampler(0, static_cast<GLuint>(sampler));
        gl.ActiveTexture(static_cast<GLenum>(activeTexture));
        gl.BlendFuncSeparate(static_cast<GLenum>(blendSrcRgb), static_cast<GLenum>(blendDstRgb),
                             static_cast<GLenum>(blendSrcAlpha),
                             static_cast<GLenum>(blendDstAlpha));
        if (blend)
            GL().Enable(GL_BLEND);
        else
            GL().Disable(GL_BLEND);
        if (depthTest) GL().Enable(GL_DEPTH_TEST);
    }
};

class ProgramPainter final : public EffectPainter {
public:
    void Begin(bool blend, Projection projection, unsigned texture) override {
        FlushDrawing(); // the 2D driver's held-back drawing belongs to the frame taken
        const ShaderFunctions& gl = GL();
        saved_.Save(gl);
        gl.UseProgram(objects.unweighted);
        gl.BindVertexArray(objects.vertexArray);
        gl.BindBuffer(GL_ARRAY_BUFFER, objects.buffer);
        gl.BindSampler(0, 0);
        GL().BindTexture(GL_TEXTURE_2D, texture);
        Blend(blend);
        GL().Disable(GL_DEPTH_TEST);
        projection_ = projection == Projection::Zoom ? Frustum(ZoomFrustum) : Identity();
        stack_.assign(1, Identity());
        colour_ = White;
    }
    void Capture(int x, int y, int width, int height) override {
        Draw();
        GL().CopyTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, x, y, width, height);
    }
    // To the 2D renderer's clear colour, which this driver gives the GL only as it clears.
    void Clear() override {
        Draw();
        GLfloat saved[4] = {};
        GL().GetFloatv(GL_COLOR_CLEAR_VALUE, saved);
        int red = 0, green = 0, blue = 0;
        GetClearColor(red, green, blue);
        GL().ClearColor(static_cast<float>(red) / 255, static_cast<float>(green) / 255,
                        static_cast<float>(blue) / 255, 1);
        GL().Clear(GL_COLOR_BUFFER_BIT);
        GL().ClearColor(saved[0], saved[1], saved[2], saved[3]);
    }
    void AdditiveBlend() override {
        Draw();
        GL().BlendFunc(GL_ONE, GL_ONE);
    }
    void Blend(bool on) override {
        Draw();
        if (on)
            GL().Enable(GL_BLEND);
        else
            GL().Disable(GL_BLEND);
    }
    // Float colours, so that many faint passes add up as they do in fixed function.
    // Each corner carries its colour: only a change to or from white, which
    // changes the program, ends the draw.
    void Colour(float red, float green, float blue) override {
        bool wasWhite = colour_ == White;
        colour_ = {red, green, blue};
        bool white = colour_ == White;
        if (white == wasWhite) return;
        Draw();
        GL().UseProgram(white ? objects.unweighted : objects.weighted);
    }
    void Translate(float x, float y, float z) override { TranslateMatrix(stack_.back(), x, y, z); }
    void Rotate(float degrees) override { RotateMatrixZ(stack_.back(), degrees); }
    void PushMatrix() override { stack_.push_back(stack_.back()); }
    void PopMatrix() override {
        if (stack_.size() > 1) stack_.pop_back();
    }
    // Each quad as two triangles sharing its first and third corners.
    void Quads(const TexVertex* corners, int count) override {
        Matrix m = Multiply(projection_, stack_.back());
        for (int q = 0; q < count; ++q) {
            const TexVertex* quad = corners + 4 * q;
            for (int k : {0, 1, 2, 0, 2, 3})
                pending_.push_back(Project(m, quad[k], colour_));
        }
    }
    void BindTexture(unsigned texture) override {
        Draw();
        GL().BindTexture(GL_TEXTURE_2D, texture);
    }
    void MagnifyNearest(bool nearest) override {
        Draw();
        GL().TexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, nearest ? GL_NEAREST : GL_LINEAR);
    }
    void End() override {
        Draw();
        saved_.Restore(GL());
    }
    // GLES copies a frame without alpha only into a texture without alpha,
    // and takes no internal format that differs from the data's.
    unsigned MakeTexture(int width, int height) override {
        const ShaderFunctions& gl = GL();
        GLint texture = 0, unpack = 4;
        gl.GetIntegerv(GL_TEXTURE_BINDING_2D, &texture);
        gl.GetIntegerv(GL_UNPACK_ALIGNMENT, &unpack);
        GLuint name = 0;
        gl.GenTextures(1, &name);
        gl.BindTexture(GL_TEXTURE_2D, name);
        gl.PixelStorei(GL_UNPACK_ALIGNMENT, 1);
        SetEffectTextureParameters(gl.TexParameteri);
        gl.TexImage2D(GL_TEXTURE_2D, 0, GL_RGB, width, height, 0, GL_RGB, GL_UNSIGNED_BYTE,
                      nullptr);
        gl.BindTexture(GL_TEXTURE_2D, static_cast<GLuint>(texture));
        gl.PixelStorei(GL_UNPACK_ALIGNMENT, unpack);
        return name;
    }
    void DeleteTexture(unsigned texture) override { GL().DeleteTextures(1, &texture); }

private:
    static ClipVertex Project(const Matrix& m, const TexVertex& v,
                              const std::array<float, 3>& colour) {
        float p[4];
        for (int row = 0; row < 4; ++row)
            p[row] = m[row] * v.x + m[4 + row] * v.y + m[8 + row] * v.z + m[12 + row];
        return {p[0], p[1], p[2], p[3], v.s, v.t, colour[0], colour[1], colour[2]};
    }
    // Quads under one program, texture and blend go to the GL as one draw.
    void Draw() {
        if (pending_.empty()) return;
        const ShaderFunctions& gl = GL();
        gl.BufferData(GL_ARRAY_BUFFER,
                      static_cast<GLsizeiptr>(pending_.size() * sizeof(ClipVertex)),
                      pending_.data(), GL_STREAM_DRAW);
        GL().DrawArrays(GL_TRIANGLES, 0, static_cast<GLsizei>(pending_.size()));
        pending_.clear();
    }

    DriverState saved_;
    Matrix projection_ = Identity();
    std::vector<Matrix> stack_;
    static constexpr std::array<float, 3> White{1, 1, 1};
    std::array<float, 3> colour_{};
    std::vector<ClipVertex> pending_;
};

} // namespace

bool ShaderContext() {
    return CurrentGLProfile() != GLProfile::Compatibility;
}

EffectPainter& ShaderPainter() {
    static ProgramPainter painter;
    return painter;
}

// Made for each display: vertex arrays belong to one context.
void PrepareShaderPainter() {
    const ShaderFunctions& gl = GL();
    DeleteObjectsOfThisDisplay(gl);
    objects.graphicsSeq = GraphicsSeq();
    GLint program = 0, vertexArray = 0, buffer = 0;
    GL().GetIntegerv(GL_CURRENT_PROGRAM, &program);
    GL().GetIntegerv(GL_VERTEX_ARRAY_BINDING, &vertexArray);
    GL().GetIntegerv(GL_ARRAY_BUFFER_BINDING, &buffer);
    objects.weighted = Link(weightedSource);
    objects.unweighted = Link(unweightedSource);
    gl.UseProgram(objects.weighted);
    gl.Uniform1i(gl.GetUniformLocation(objects.weighted, "frame"), 0);
    gl.UseProgram(objects.unweighted);
    gl.Uniform1i(gl.GetUniformLocation(objects.unweighted, "frame"), 0);
    gl.GenVertexArrays(1, &objects.vertexArray);
    gl.GenBuffers(1, &objects.buffer);
    gl.BindVertexArray(objects.vertexArray);
    gl.BindBuffer(GL_ARRAY_BUFFER, objects.buffer);
    auto stride = static_cast<GLsizei>(sizeof(ClipVertex));
    gl.VertexAttribPointer(0, 4, GL_FLOAT, GL_FALSE, stride, nullptr);
    gl.VertexAttribPointer(1, 2, GL_FLOAT, GL_FALSE, stride,
                           reinterpret_cast<const void*>(offsetof(ClipVertex, s)));
    gl.VertexAttribPointer(2, 3, GL_FLOAT, GL_FALSE, stride,
                           reinterpret_cast<const void*>(offsetof(ClipVertex, r)));
    gl.EnableVertexAttribArray(0);
    gl.EnableVertexAttribArray(1);
    gl.EnableVertexAttribArray(2);
    gl.UseProgram(static_cast<GLuint>(program));
    gl.BindVertexArray(static_cast<GLuint>(vertexArray));
    gl.BindBuffer(GL_ARRAY_BUFFER, static_cast<GLuint>(buffer));
}

Matrix Identity() {
    return {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
}

Matrix Multiply(const Matrix& a, const Matrix& b) {
    Matrix product{};
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j)
            product[j * 4 + i] = a[i] * b[j * 4] + a[4 + i] * b[j * 4 + 1] +
                                 a[8 + i] * b[j * 4 + 2] + a[12 + i] * b[j * 4 + 3];
    return product;
}

Matrix Frustum(const float (&f)[6]) {
    float left = f[0], right = f[1], bottom = f[2], top = f[3], nearPlane = f[4], farPlane = f[5];
    Matrix m{};
    m[0] = 2.0f * nearPlane / (right - left);
    m[5] = 2.0f * nearPlane / (top - bottom);
    m[8] = (right + left) / (right - left);
    m[9] = (top + bottom) / (top - bottom);
    m[10] = -(farPlane + nearPlane) / (farPlane - nearPlane);
    m[11] = -1;
    m[14] = -(2.0f * farPlane * nearPlane) / (farPlane - nearPlane);
    return m;
}

void TranslateMatrix(Matrix& m, float x, float y, float z) {
    for (int i = 0; i < 4; ++i)
        m[12 + i] = m[i] * x + m[4 + i] * y + m[8 + i] * z + m[12 + i];
}

// Sine and cosine in double, then single, as the fixed-function matrix stack computes them.
void RotateMatrixZ(Matrix& m, float degrees) {
    double radians = degrees * (3.14159265358979323846 / 180.0);
    auto s = static_cast<float>(std::sin(radians)), c = static_cast<float>(std::cos(radians));
    Matrix turn = Identity();
    turn[0] = c;
    turn[1] = s;
    turn[4] = -s;
    turn[5] = c;
    m = Multiply(m, turn);
}

} // namespace zandrel::show
