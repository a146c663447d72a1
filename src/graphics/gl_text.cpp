#include "bitmap_font.hpp"
#include "gl_functions.hpp"
#include "gl_graphics.hpp"
#include "graphics_parts.hpp"

#include <algorithm>
#include <array>
#include <cstring>
#include <vector>

namespace zandrel {

namespace {

constexpr int FontFirstCode = 32;
constexpr int FontCodeCount = 96;
constexpr int FontRows = 16;
constexpr int FontTextureWidth = 1024;
constexpr float FontCellWidth = 8.0f / FontTextureWidth;

// Made once for each profile, in its shared context, and kept for the
// program's life.
GLuint FontTexture() {
    static GLuint textures[3] = {};
    GLuint& texture = textures[static_cast<int>(CurrentGLProfile())];
    if (texture == 0) {
        // 1024 x 16 is a size every GL takes. Without mipmaps the GL's default
        // minifying filter would not draw it at all: nearest filtering.
        auto pixmap = BitmapFontPixmap(S("gldrawtextfont.bin"), FontTextureWidth);
        InSharedContext shared;
        const GLTextureFilters nearest{GL_NEAREST, GL_NEAREST};
        texture = UploadGLTexture(pixmap, false, &nearest);
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

namespace {

void DrawTextFixedFunction(const String& text, int x, int y) {
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

constexpr const char* TextVertexBody = R"(
in vec2 position;
in vec2 texCoord;
out vec2 uv;
void main() {
    uv = texCoord;
    gl_Position = vec4(position, 0.0, 1.0);
}
)";

constexpr const char* TextFragmentBody = R"(
precision highp float;
uniform sampler2D font;
in vec2 uv;
out vec4 fragColour;
void main() {
    fragColour = texture(font, uv);
}
)";

// Made in the shared context once for each profile, as the font texture.
GLuint TextProgram() {
    static GLuint programs[3] = {};
    GLuint& program = programs[static_cast<int>(CurrentGLProfile())];
    if (program == 0) {
        InSharedContext shared;
        program = BuildGLProgram(TextVertexBody, TextFragmentBody, {"position", "texCoord"});
    }
    return program;
}

// x, y in clip space and u, v of each corner, two triangles a character.
std::vector<float> TextTriangles(const String& text, int x, int y, int width, int height) {
    std::vector<float> corners;
    float sx = 2.0f / static_cast<float>(width), sy = -2.0f / static_cast<float>(height);
    float top = static_cast<float>(y) * sy + 1, bottom = static_cast<float>(y + 16) * sy + 1;
    float penX = static_cast<float>(x);
    for (char16_t c : text) {
        if (c >= FontFirstCode && c < FontFirstCode + FontCodeCount) {
            float u = static_cast<float>(c - FontFirstCode) * FontCellWidth;
            float left = penX * sx - 1, right = (penX + 8) * sx - 1;
            float u1 = u + FontCellWidth;
            corners.insert(corners.end(),
                           {left, top, u, 0, right, top,    u1, 0, right, bottom, u1, 1,
                            left, top, u, 0, right, bottom, u1, 1, left,  bottom, u,  1});
        }
        penX += 8;
    }
    return corners;
}

// The bindings it changes are put back; the text is white.
void DrawTextShaded(const String& text, int x, int y) {
    auto& gl = GL();
    GLint viewport[4] = {}, program = 0, vertexArray = 0, buffer = 0, texture = 0;
    gl.GetIntegerv(GL_VIEWPORT, viewport);
    auto corners = TextTriangles(text, x, y, std::max(viewport[2], 1), std::max(viewport[3], 1));
    if (corners.empty()) return;
    GLuint font = FontTexture(), textProgram = TextProgram();
    gl.GetIntegerv(GL_CURRENT_PROGRAM, &program);
    gl.GetIntegerv(GL_VERTEX_ARRAY_BINDING, &vertexArray);
    gl.GetIntegerv(GL_ARRAY_BUFFER_BINDING, &buffer);
    gl.GetIntegerv(GL_TEXTURE_BINDING_2D, &texture);
    GLuint array = 0, vertices = 0;
    gl.GenVertexArrays(1, &array);
    gl.BindVertexArray(array);
    gl.GenBuffers(1, &vertices);
    gl.BindBuffer(GL_ARRAY_BUFFER, vertices);
    gl.BufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(corners.size() * sizeof(float)),
                  corners.data(), GL_STREAM_DRAW);
    gl.EnableVertexAttribArray(0);
    gl.EnableVertexAttribArray(1);
    gl.VertexAttribPointer(0, 2, GL_FLOAT, GL_FALSE, 4 * sizeof(float), nullptr);
    gl.VertexAttribPointer(1, 2, GL_FLOAT, GL_FALSE, 4 * sizeof(float),
                           reinterpret_cast<const void*>(2 * sizeof(float)));
    gl.UseProgram(textProgram);
    gl.BindTexture(GL_TEXTURE_2D, font);
    gl.DrawArrays(GL_TRIANGLES, 0, static_cast<GLsizei>(corners.size() / 4));
    gl.UseProgram(static_cast<GLuint>(program));
    gl.BindTexture(GL_TEXTURE_2D, static_cast<GLuint>(texture));
    gl.BindVertexArray(static_cast<GLuint>(vertexArray));
    gl.BindBuffer(GL_ARRAY_BUFFER, static_cast<GLuint>(buffer));
    gl.DeleteBuffers(1, &vertices);
    gl.DeleteVertexArrays(1, &array);
}

} // namespace

void GLDrawText(const String& text, int x, int y) {
    if (CurrentGLProfile() == GLProfile::Compatibility)
        DrawTextFixedFunction(text, x, y);
    else
        DrawTextShaded(text, x, y);
}

} // namespace zandrel
