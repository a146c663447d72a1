// The OpenGL graphics driver's classes, shared with the 2D renderer, which
// draws through this driver and makes its textures in the shared context.
#pragma once

#include <zandrel/graphics.hpp>

namespace zandrel {

struct GLContext;

class TGLGraphics : public TGraphics {
public:
    explicit TGLGraphics(GLContext* context) : context_(context) {}
    Ref<TGraphicsDriver> Driver() override;
    void GetSettings(int& width, int& height, int& depth, int& hertz,
                     GraphicsFlags& flags) override;
    void Close() override;
    // The native record, none after Close.
    GLContext* Context() const { return context_; }

private:
    GLContext* context_;
};

class TGLGraphicsDriver : public TGraphicsDriver {
public:
    std::vector<Ref<TGraphicsMode>> GraphicsModes() override;
    Ref<TGraphics> AttachGraphics(NativeWidget widget, GraphicsFlags flags) override;
    Ref<TGraphics> CreateGraphics(int width, int height, int depth, int hertz,
                                  GraphicsFlags flags) override;
    void SetGraphics(const Ref<TGraphics>& g) override;
    void Flip(bool sync) override;
    // Makes the hidden shared context current, or back again: textures made
    // there are usable in every context.
    virtual void ToggleSharedContext();
};

// The driver GLGraphicsDriver() gives, as its own class.
TGLGraphicsDriver& TheGLGraphicsDriver();

// For tests: whether synchronised flips of the context wait in software for
// the display (known from its first synchronised flip on).
bool PacedInSoftware(const TGLGraphics& g);

} // namespace zandrel
