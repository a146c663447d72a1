#include "bitmap_font.hpp"
#include "gl_graphics.hpp"
#include "graphics_parts.hpp"

#include <GL/gl.h>

#include <array>
#include <cstring>

namespace zandrel {

namespace {

constexpr int FontFirstCode = 32;
constexpr int FontCodeCount = 96;
constexpr int FontRows = 16;
constexpr int FontTextureWidth = 1024;
constexpr float FontCellWidth = 8.0f / FontTextureWidth;

// The GL's default minifying filter wants mipmaps, without which the
// texture would not draw at all: one level with nearest filtering.
void UseNearestFiltering(GLuint texture) {
    GLint savedBinding = 0;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &savedBinding);
    glBindTexture(GL_TEXTURE_2D, texture);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    glBindTexture(GL_TEXTURE_2D, static_cast<GLuint>(savedBinding));
}

// Made once, in the shared context, and kept for the program's life.
GLuint FontTexture() {
    static GLuint texture = 0;
    if (texture == 0) {
        auto pixmap = BitmapFontPixmap(S("gldrawtextfont.bin"), FontTextureWidth);
        TheGLGraphicsDriver().ToggleSharedContext();
        try {
            texture = GLTexFromPixmap(pixmap, false);
            UseNearestFiltering(texture);
        } catch (...) {
            TheGLGraphicsDriver().ToggleSharedContext();
            throw;
        }
        TheGLGraphicsDriver().ToggleSharedContext();
    }
    return texture;
}

void DrawCharacter(int code, float x, float y) {
    float u = static_cast<float>(code - FontFirstCode) * FontCellWidth;
    glTexCoord2f(u, 0);
    glVertex2f(x, y);
    glTexCoord2f(u + FontCellWidth, 0);
    glVertex2f(x + 8, y);
    glTexCoord2f(u + FontCellWidth, 1);
    glVertex2f(x + 8, y + 16);
    glTexCoord2f(u, 1);
    glVertex2f(x, y + 16);
}

} // namespace

Ref<TPixmap> BitmapFontPixmap(const String& resource, int width) {
    auto* font = static_cast<const uint8_t*>(EmbeddedData(resource));
    if (!font || EmbeddedSize(resource) < FontCodeCount * FontRows)
        throw RuntimeError(S("The built-in font is missing: ") + resource);
    if (width < FontCodeCount * 8) throw RuntimeError("Font pixmap too narrow");
    auto pixmap = CreatePixmap(width, FontRows, PixelFormat::FormatRGBA8888, 4);
    std::memset(pixmap->Pixels(), 0, static_cast<size_t>(pixmap->Capacity()));
    for (int row = 0; row < FontRows; ++row) {
        auto* pixels = reinterpret_cast<uint32_t*>(pixmap->PixelPtr(0, row));
        for (int cell = 0; cell < FontCodeCount; ++cell) {
            int bits = font[row * FontCodeCount + cell];
            for (int column = 0; column < 8; ++column)
                if (bits & (1 << column)) pixels[cell * 8 + column] = 0xFFFFFFFFu;
        }
    }
    return pixmap;
}

void GLDrawText(const String& text, int x, int y) {
    GLuint texture = FontTexture();
    glPushAttrib(GL_TEXTURE_BIT | GL_ENABLE_BIT | GL_TRANSFORM_BIT);
    std::array<GLint, 4> viewport{};
    std::array<GLdouble, 16> modelview{}, projection{};
    glGetIntegerv(GL_VIEWPORT, viewport.data());
    glGetDoublev(GL_MODELVIEW_MATRIX, modelview.data());
    glGetDoublev(GL_PROJECTION_MATRIX, projection.data());
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(0, viewport[2], viewport[3], 0, -1, 1);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glDisable(GL_CULL_FACE);
    glDisable(GL_ALPHA_TEST);
    glDisable(GL_DEPTH_TEST);
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, texture);
    glBegin(GL_QUADS);
    float penX = static_cast<float>(x);
    for (char16_t c : text) {
        if (c >= FontFirstCode && c < FontFirstCode + FontCodeCount)
            DrawCharacter(c, penX, static_cast<float>(y));
        penX += 8;
    }
    glEnd();
    glMatrixMode(GL_PROJECTION);
    glLoadMatrixd(projection.data());
    glMatrixMode(GL_MODELVIEW);
    glLoadMatrixd(modelview.data());
    glPopAttrib();
}

} // namespace zandrel
