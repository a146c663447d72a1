#include "gl_functions.hpp"
#include "gl_graphics.hpp"
#include "graphics_parts.hpp"

namespace zandrel {

namespace {

int NextPowerOfTwo(int n) {
    int p = 1;
    while (p < n && p < (1 << 30))
        p <<= 1;
    return p;
}

int HalvedAbove1(int n) {
    return n > 1 ? n / 2 : n;
}

bool TakenByProxy(int w, int h) {
    glTexImage2D(GL_PROXY_TEXTURE_2D, 0, 4, w, h, 0, GL_RGBA, GL_UNSIGNED_BYTE, nullptr);
    GLint accepted = 0;
    glGetTexLevelParameteriv(GL_PROXY_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &accepted);
    return accepted != 0;
}

// Shader profiles have no proxy textures: the GL's largest side decides.
bool TakenBySize(int w, int h) {
    GLint largest = 0;
    GL().GetIntegerv(GL_MAX_TEXTURE_SIZE, &largest);
    return w <= largest && h <= largest;
}

} // namespace

void GLAdjustTexSize(int& width, int& height) {
    int w = NextPowerOfTwo(width), h = NextPowerOfTwo(height);
    auto taken = CurrentGLProfile() == GLProfile::Compatibility ? TakenByProxy : TakenBySize;
    while (!taken(w, h)) {
        if (w == 1 && h == 1) throw RuntimeError("Unable to calculate tex size");
        w = HalvedAbove1(w);
        h = HalvedAbove1(h);
    }
    width = w;
    height = h;
}

uint32_t UploadGLTexture(Ref<TPixmap> pixmap, bool mipmapped, const GLTextureFilters* filters) {
    auto& gl = GL();
    if (pixmap->Format() != PixelFormat::FormatRGBA8888)
        pixmap = pixmap->Convert(PixelFormat::FormatRGBA8888);
    int width = pixmap->Width(), height = pixmap->Height();
    GLint savedBinding = 0, savedRowLength = 0, savedAlignment = 4;
    gl.GetIntegerv(GL_TEXTURE_BINDING_2D, &savedBinding);
    gl.GetIntegerv(GL_UNPACK_ROW_LENGTH, &savedRowLength);
    gl.GetIntegerv(GL_UNPACK_ALIGNMENT, &savedAlignment);
    gl.PixelStorei(GL_UNPACK_ALIGNMENT, 4); // rows of 4-byte pixels: the row length says the rest
    GLuint texture = 0;
    gl.GenTextures(1, &texture);
    gl.BindTexture(GL_TEXTURE_2D, texture);
    if (filters) {
        gl.TexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
        gl.TexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
        gl.TexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, filters->magnify);
        gl.TexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, filters->minify);
    }
    for (int level = 0;; ++level) {
        gl.PixelStorei(GL_UNPACK_ROW_LENGTH,
                       pixmap->Pitch() / BytesPerPixel[PixelFormat::FormatRGBA8888]);
        gl.TexImage2D(GL_TEXTURE_2D, level, GL_RGBA8, width, height, 0, GL_RGBA, GL_UNSIGNED_BYTE,
                      pixmap->Pixels());
        if (!mipmapped || (width == 1 && height == 1)) break;
        width = HalvedAbove1(width);
        height = HalvedAbove1(height);
        pixmap = ResizePixmap(pixmap, width, height);
    }
    gl.BindTexture(GL_TEXTURE_2D, static_cast<GLuint>(savedBinding));
    gl.PixelStorei(GL_UNPACK_ROW_LENGTH, savedRowLength);
    gl.PixelStorei(GL_UNPACK_ALIGNMENT, savedAlignment);
    return texture;
}

uint32_t GLTexFromPixmap(Ref<TPixmap> pixmap, bool mipmapped) {
    if (!pixmap) throw RuntimeError("GLTexFromPixmap needs a pixmap");
    int width = pixmap->Width(), height = pixmap->Height();
    GLAdjustTexSize(width, height);
    if (width != pixmap->Width() || height != pixmap->Height())
        pixmap = ResizePixmap(pixmap, width, height);
    return UploadGLTexture(pixmap, mipmapped, nullptr);
}

} // namespace zandrel
