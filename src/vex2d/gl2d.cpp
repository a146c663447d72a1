#include "gl2d.hpp"
#include "gl_shader2d.hpp"
#include "graphics/gl_functions.hpp"

#include <zandrel/vex2d.hpp>

#include <GL/gl.h>

namespace zandrel::gl2d {

namespace {

void Emit(const Vertex (&corners)[4]) {
    for (const Vertex& v : corners)
        glVertex2f(v.x, v.y);
}

} // namespace

void FixedFunctionGL::BindTexture(uint32_t texture) {
    if (texture == cache_.texture) return;
    cache_.texture = texture;
    glBindTexture(GL_TEXTURE_2D, texture);
}

void FixedFunctionGL::EnableTexture(uint32_t texture) {
    BindTexture(texture);
    if (cache_.texturing) return;
    cache_.texturing = true;
    glEnable(GL_TEXTURE_2D);
}

void FixedFunctionGL::DisableTexture() {
    if (!cache_.texturing) return;
    cache_.texturing = false;
    glDisable(GL_TEXTURE_2D);
}

void FixedFunctionGL::StartContext(int width, int height) {
    cache_ = Cache();
    shader_ = nullptr; // the 2D context's own shader is set again after
    glDisable(GL_TEXTURE_2D);
    SetProjection(width, height, true);
}

void FixedFunctionGL::SetProjection(int width, int height, bool rowsDown) {
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    if (rowsDown)
        glOrtho(0, width, height, 0, -1, 1);
    else
        glOrtho(0, width, 0, height, -1, 1);
    glMatrixMode(GL_MODELVIEW);
    glViewport(0, 0, width, height);
}

void FixedFunctionGL::SetBlend(BlendMode mode) {
    if (mode == cache_.blend) return;
    cache_.blend = mode;
    switch (mode) {
    case BlendMode::Mask:
        glDisable(GL_BLEND);
        glEnable(GL_ALPHA_TEST);
        glAlphaFunc(GL_GEQUAL, 0.5f);
        return;
    case BlendMode::Alpha:
        glEnable(GL_BLEND);
        glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
        break;
    case BlendMode::Light:
        glEnable(GL_BLEND);
        glBlendFunc(GL_SRC_ALPHA, GL_ONE);
        break;
    case BlendMode::Shade:
        glEnable(GL_BLEND);
        glBlendFunc(GL_DST_COLOR, GL_ZERO);
        break;
    default:
        glDisable(GL_BLEND);
        break;
    }
    glDisable(GL_ALPHA_TEST);
}

BlendMode FixedFunctionGL::Blend() {
    return cache_.blend;
}

void FixedFunctionGL::SetColor(const uint8_t rgba[4]) {
    glColor4ubv(rgba);
}

void FixedFunctionGL::SetColor(const float rgba[4]) {
    glColor4f(rgba[0], rgba[1], rgba[2], rgba[3]);
}

void FixedFunctionGL::SetClearColor(int red, int green, int blue) {
    glClearColor(static_cast<float>(red) / 255.0f, static_cast<float>(green) / 255.0f,
                 static_cast<float>(blue) / 255.0f, 1.0f);
}

void FixedFunctionGL::SetScissor(bool on, int x, int y, int width, int height) {
    if (!on) {
        glDisable(GL_SCISSOR_TEST);
        return;
    }
    glEnable(GL_SCISSOR_TEST);
    glScissor(x, y, width, height);
}

void FixedFunctionGL::SetLineWidth(float width) {
    glLineWidth(width);
}

void FixedFunctionGL::Clear() {
    glClear(GL_COLOR_BUFFER_BIT);
}

void FixedFunctionGL::DrawPoint(Vertex at) {
    DisableTexture();
    Shade(false);
    glBegin(GL_POINTS);
    glVertex2f(at.x, at.y);
    glEnd();
}

void FixedFunctionGL::DrawLine(Vertex from, Vertex to) {
    DisableTexture();
    Shade(false);
    glBegin(GL_LINES);
    glVertex2f(from.x, from.y);
    glVertex2f(to.x, to.y);
    glEnd();
}

void FixedFunctionGL::DrawQuad(const Vertex (&corners)[4]) {
    DisableTexture();
    Shade(false);
    glBegin(GL_QUADS);
    Emit(corners);
    glEnd();
}

void FixedFunctionGL::DrawPolygon(const Vertex* points, int count) {
    DisableTexture();
    Shade(false);
    glBegin(GL_POLYGON);
    for (int i = 0; i < count; ++i)
        glVertex2f(points[i].x, points[i].y);
    glEnd();
}

void FixedFunctionGL::DrawTexturedQuad(uint32_t texture, const Vertex (&corners)[4], float u0,
                                       float v0, float u1, float v1) {
    EnableTexture(texture);
    Shade(true);
    glBegin(GL_QUADS);
    glTexCoord2f(u0, v0);
    glVertex2f(corners[0].x, corners[0].y);
    glTexCoord2f(u1, v0);
    glVertex2f(corners[1].x, corners[1].y);
    glTexCoord2f(u1, v1);
    glVertex2f(corners[2].x, corners[2].y);
    glTexCoord2f(u0, v1);
    glVertex2f(corners[3].x, corners[3].y);
    glEnd();
}

// A shape's texture coordinate is 0, 0, as the shader driver streams it.
void FixedFunctionGL::Shade(bool textured) {
    if (!shader_) return;
    shader_->Use(textured, false);
    if (!textured) glTexCoord2f(0, 0);
}

// The program a context has in use is its own state: each draw makes the
// shader's current again.
void FixedFunctionGL::SetShader(TGLShader2D* shader) {
    shader_ = shader;
    if (!shader_) GL().UseProgram(0);
}

void FixedFunctionGL::DeleteTexture(uint32_t texture) {
    GLuint name = texture;
    glDeleteTextures(1, &name);
    if (cache_.texture == name) cache_.texture = 0;
}

void FixedFunctionGL::ReadPixels(TPixmap& into, int x, int yFromBottom) {
    glPixelStorei(GL_PACK_ROW_LENGTH, into.Pitch() / BytesPerPixel[PixelFormat::FormatRGBA8888]);
    glReadPixels(x, yFromBottom, into.Width(), into.Height(), GL_RGBA, GL_UNSIGNED_BYTE,
                 into.Pixels());
    glPixelStorei(GL_PACK_ROW_LENGTH, 0);
}

} // namespace zandrel::gl2d
