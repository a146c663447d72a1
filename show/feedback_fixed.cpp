// The effects through the fixed-function pipeline of a compatibility context:
// the attribute stacks save what they change.
#include "feedback_painter.hpp"

#include <zandrel/vex2d.hpp>

#include <GL/gl.h>

namespace zandrel::show {

namespace {

class FixedPainter final : public EffectPainter {
public:
    // Attribute groups hold the server state; the unpack alignment is client
    // state and needs its own push.
    void Begin(bool blend, Projection projection, unsigned texture) override {
        FlushDrawing(); // the 2D driver's held-back drawing belongs to the frame taken
        glPushAttrib(GL_ALL_ATTRIB_BITS);
        glPushClientAttrib(GL_CLIENT_PIXEL_STORE_BIT);
        glEnable(GL_TEXTURE_2D);
        Blend(blend);
        glDisable(GL_DEPTH_TEST);
        glMatrixMode(GL_PROJECTION);
        glPushMatrix();
        glLoadIdentity();
        if (projection == Projection::Zoom) {
            const float(&f)[6] = ZoomFrustum;
            glFrustum(f[0], f[1], f[2], f[3], f[4], f[5]);
        }
        glBindTexture(GL_TEXTURE_2D, texture);
        glMatrixMode(GL_MODELVIEW);
        glPushMatrix();
        glLoadIdentity();
    }
    void Capture(int x, int y, int width, int height) override {
        glCopyTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, x, y, width, height);
    }
    void Clear() override { glClear(GL_COLOR_BUFFER_BIT); }
    void AdditiveBlend() override { glBlendFunc(GL_ONE, GL_ONE); }
    void Blend(bool on) override {
        if (on)
            glEnable(GL_BLEND);
        else
            glDisable(GL_BLEND);
    }
    void Colour(float red, float green, float blue) override { glColor3f(red, green, blue); }
    void Translate(float x, float y, float z) override { glTranslatef(x, y, z); }
    void Rotate(float degrees) override { glRotatef(degrees, 0, 0, 1); }
    void PushMatrix() override { glPushMatrix(); }
    void PopMatrix() override { glPopMatrix(); }
    void Quads(const TexVertex* corners, int count) override {
        glBegin(GL_QUADS);
        for (int i = 0; i < 4 * count; ++i) {
            glTexCoord2f(corners[i].s, corners[i].t);
            glVertex3f(corners[i].x, corners[i].y, corners[i].z);
        }
        glEnd();
    }
    void BindTexture(unsigned texture) override { glBindTexture(GL_TEXTURE_2D, texture); }
    void MagnifyNearest(bool nearest) override {
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, nearest ? GL_NEAREST : GL_LINEAR);
    }
    void End() override {
        glMatrixMode(GL_MODELVIEW);
        glPopMatrix();
        glMatrixMode(GL_PROJECTION);
        glPopMatrix();
        glPopClientAttrib();
        glPopAttrib();
    }
    unsigned MakeTexture(int width, int height) override {
        glPushAttrib(GL_ALL_ATTRIB_BITS);
        glPushClientAttrib(GL_CLIENT_PIXEL_STORE_BIT);
        GLuint name = 0;
        glGenTextures(1, &name);
        glBindTexture(GL_TEXTURE_2D, name);
        glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
        SetEffectTextureParameters(glTexParameteri);
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, width, height, 0, GL_RGB, GL_UNSIGNED_BYTE,
                     nullptr);
        glPopClientAttrib();
        glPopAttrib();
        return name;
    }
    void DeleteTexture(unsigned texture) override { glDeleteTextures(1, &texture); }
};

} // namespace

EffectPainter& FixedFunctionPainter() {
    static FixedPainter painter;
    return painter;
}

} // namespace zandrel::show
