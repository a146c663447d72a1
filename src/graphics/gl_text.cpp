#include "graphics_parts.hpp"

#include <GL/gl.h>

#include <array>

namespace zandrel {

namespace {

constexpr int FontFirstCode = 32;
constexpr int FontCodeCount = 96;
constexpr int FontRows = 16;
constexpr int FontTextureWidth = 1024;
constexpr float FontCellWidth = 8.0f / FontTextureWidth;

int NextPowerOfTwo(int n) {
    int p = 1;
    while (p < n && p < (1 << 30))
        p <<= 1;
    return p;
}

// Set bits are opaque white, clear bits transparent black; character c takes
// columns 8 (c - 32) to 8 (c - 32) + 7.
std::vector<uint32_t> FontPixels() {
    auto* font = static_cast<const uint8_t*>(EmbeddedData(S("gldrawtextfont.bin")));
    if (!font || EmbeddedSize(S("gldrawtextfont.bin")) < FontCodeCount * FontRows)
        throw RuntimeError("The built-in font is missing");
    std::vector<uint32_t> pixels(static_cast<size_t>(FontTextureWidth * FontRows), 0);
    for (int row = 0; row < FontRows; ++row) {
        for (int cell = 0; cell < FontCodeCount; ++cell) {
            int bits = font[row * FontCodeCount + cell];
            for (int column = 0; column < 8; ++column)
                if (bits & (1 << column))
                    pixels[static_cast<size_t>(row * FontTextureWidth + cell * 8 + column)] =
                        0xFFFFFFFFu;
        }
    }
    return pixels;
}

// One level with nearest filtering: the GL's default minifying filter wants
// mipmaps, without which the texture would not draw at all.
GLuint UploadFontTexture(const std::vector<uint32_t>& pixels) {
    GLint savedBinding = 0, savedRowLength = 0;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &savedBinding);
    glGetIntegerv(GL_UNPACK_ROW_LENGTH, &savedRowLength);
    GLuint texture = 0;
    glGenTextures(1, &texture);
    glBindTexture(GL_TEXTURE_2D, texture);
    glPixelStorei(GL_UNPACK_ROW_LENGTH, FontTextureWidth);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, FontTextureWidth, FontRows, 0, GL_RGBA,
                 GL_UNSIGNED_BYTE, pixels.data());
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    glBindTexture(GL_TEXTURE_2D, static_cast<GLuint>(savedBinding));
    glPixelStorei(GL_UNPACK_ROW_LENGTH, savedRowLength);
    return texture;
}

// Made once, in the shared context, and kept for the program's life.
GLuint FontTexture() {
    static GLuint texture = 0;
    if (texture == 0) {
        auto pixels = FontPixels();
        GLGraphicsDriver()->ToggleSharedContext();
        texture = UploadFontTexture(pixels);
        GLGraphicsDriver()->ToggleSharedContext();
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

void GLAdjustTexSize(int& width, int& height) {
    int w = NextPowerOfTwo(width), h = NextPowerOfTwo(height);
    for (;;) {
        glTexImage2D(GL_PROXY_TEXTURE_2D, 0, 4, w, h, 0, GL_RGBA, GL_UNSIGNED_BYTE, nullptr);
        GLint accepted = 0;
        glGetTexLevelParameteriv(GL_PROXY_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &accepted);
        if (accepted != 0) break;
        if (w == 1 && h == 1) throw RuntimeError("Unable to calculate tex size");
        if (w > 1) w /= 2;
        if (h > 1) h /= 2;
    }
    width = w;
    height = h;
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
