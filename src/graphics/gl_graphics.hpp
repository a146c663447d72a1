// The OpenGL graphics driver's classes, shared with the 2D renderer, which
// draws through this driver and makes its textures in the shared context.
#pragma once

#include <zandrel/graphics.hpp>

#include <vector>

namespace zandrel {

struct GLContext;

class TGLGraphics : public TGraphics {
public:
    TGLGraphics(GLContext* context, const Ref<TGraphicsDriver>& driver)
        : context_(context), driver_(driver) {}
    Ref<TGraphicsDriver> Driver() override;
    void GetSettings(int& width, int& height, int& depth, int& hertz,
                     GraphicsFlags& flags) override;
    void Close() override;
    // The native record, none after Close.
    GLContext* Context() const { return context_; }
    // The profile of its context; Compatibility once closed.
    GLProfile Profile() const;

private:
    GLContext* context_;
    Ref<TGraphicsDriver> driver_;
};

// One class for the fixed-function and the shader graphics driver: they
// differ only in the context profiles they ask for, in order of preference.
class TGLGraphicsDriver : public TGraphicsDriver {
public:
    explicit TGLGraphicsDriver(std::vector<GLProfile> profiles) : profiles_(std::move(profiles)) {}

    std::vector<Ref<TGraphicsMode>> GraphicsModes() override;
    Ref<TGraphics> AttachGraphics(NativeWidget widget, GraphicsFlags flags) override;
    Ref<TGraphics> CreateGraphics(int width, int height, int depth, int hertz,
                                  GraphicsFlags flags) override;
    void SetGraphics(const Ref<TGraphics>& g) override;
    void Flip(bool sync) override;
    // Makes the hidden shared context of the current context's profile
    // current, or back again: textures made there are usable in every context
    // of that profile.
    virtual void ToggleSharedContext();
    // The profile its contexts are made with first.
    GLProfile PreferredProfile() const { return profiles_.front(); }

private:
    GLProfile AvailableProfile() const;

    std::vector<GLProfile> profiles_;
};

// The driver GLGraphicsDriver() gives, as its own class.
TGLGraphicsDriver& TheGLGraphicsDriver();

// The hidden shared context for the guard's life, the caller's again after,
// even when what runs in between throws: textures, programs and buffers
// are made and deleted there, so that every context can use them.
class InSharedContext {
public:
    InSharedContext() { TheGLGraphicsDriver().ToggleSharedContext(); }
    ~InSharedContext() { TheGLGraphicsDriver().ToggleSharedContext(); }
    InSharedContext(const InSharedContext&) = delete;
    InSharedContext& operator=(const InSharedContext&) = delete;
};

// The filters a texture is made with, its edges clamped.
struct GLTextureFilters {
    int minify = 0, magnify = 0; // GL_NEAREST, GL_LINEAR...
};
// The one texture uploader, on every profile: image frames (the glyphs of
// image fonts among them), GLTexFromPixmap, the built-in text font and the
// pixels of DrawPixmap all become textures here. A texture of the pixmap at
// its own size, which the GL must take, in the current context; with every
// mipmap level down to 1 x 1 when `mipmapped`, and the filters when given
// (else no parameters). The texture binding and the unpack row length and
// alignment are left as they were.
uint32_t UploadGLTexture(Ref<TPixmap> pixmap, bool mipmapped, const GLTextureFilters* filters);

// What ZANDREL_GL asks for: Compatibility when it is unset or "compat".
GLProfile RequestedGLProfile();

// For tests: whether synchronised flips of the context wait in software for
// the display (known from its first synchronised flip on).
bool PacedInSoftware(const TGLGraphics& g);

} // namespace zandrel
