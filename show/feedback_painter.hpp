// How the feedback effects reach OpenGL. The effects are written once, as a
// sequence of painter calls; a compatibility context runs them through the
// fixed-function pipeline, a GLES 3 or core context through a shader of the
// show's own. Main thread only, with the display's context current.
#pragma once

#include <GL/gl.h>

#include <array>

namespace zandrel::show {

// A corner of a textured quad: texture coordinates, then position before the
// effect's transforms (normalised device coordinates under the flat projection).
struct TexVertex {
    float s, t, x, y, z;
};

enum class Projection { Flat, Zoom };

// The zoom echo's frustum: left, right, bottom, top, near, far.
constexpr float ZoomFrustum[6] = {-0.01f, 0.01f, -0.0075f, 0.0075f, 0.01f, 1135};

class EffectPainter {
public:
    virtual ~EffectPainter() = default;
    // Saves what the effect changes; texturing on, blending as asked, no
    // depth test, identity matrices with the projection asked for, and
    // `texture` bound.
    virtual void Begin(bool blend, Projection projection, unsigned texture) = 0;
    // Copies the rectangle of the frame (window coordinates, origin bottom
    // left) into the bound texture's bottom-left corner.
    virtual void Capture(int x, int y, int width, int height) = 0;
    virtual void Clear() = 0;
    virtual void AdditiveBlend() = 0;
    virtual void Blend(bool on) = 0;
    virtual void Colour(float red, float green, float blue) = 0;
    virtual void Translate(float x, float y, float z) = 0;
    virtual void Rotate(float degrees) = 0; // about the z axis
    virtual void PushMatrix() = 0;
    virtual void PopMatrix() = 0;
    // Quads of four corners each, in GL_QUADS order.
    virtual void Quads(const TexVertex* corners, int count) = 0;
    virtual void BindTexture(unsigned texture) = 0;
    virtual void MagnifyNearest(bool nearest) = 0;
    // Puts back what Begin saved.
    virtual void End() = 0;
    // An effect texture of that size with undefined content, wrapping and
    // filtered linearly; the binding and unpack alignment are left as they were.
    virtual unsigned MakeTexture(int width, int height) = 0;
    virtual void DeleteTexture(unsigned texture) = 0;
};

// Wrapping and linear filtering, as every effect texture has them.
template <class TexParameteri> void SetEffectTextureParameters(TexParameteri texParameteri) {
    texParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_REPEAT);
    texParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_REPEAT);
    texParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    texParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
}

// The fixed-function painter, on compatibility contexts.
EffectPainter& FixedFunctionPainter();
// The shader painter, on GLES 3 and core contexts; its program and buffers
// are made by PrepareShaderPainter, which InitFeedback calls on such a context.
EffectPainter& ShaderPainter();
void PrepareShaderPainter();
// Whether the current context runs the effects through shaders.
bool ShaderContext();

// The column-major 4 x 4 matrix arithmetic of the fixed-function pipeline,
// in single precision, so that quads projected on the processor land where
// the compatibility path puts them.
using Matrix = std::array<float, 16>;
Matrix Identity();
Matrix Multiply(const Matrix& a, const Matrix& b);
Matrix Frustum(const float (&planes)[6]);
void TranslateMatrix(Matrix& m, float x, float y, float z);
void RotateMatrixZ(Matrix& m, float degrees);

} // namespace zandrel::show
