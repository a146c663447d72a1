#include "gl_context.hpp"
#include "graphics_parts.hpp"

namespace zandrel {

Ref<TGraphicsDriver> TGLGraphics::Driver() {
    return GLGraphicsDriver();
}

void TGLGraphics::GetSettings(int& width, int& height, int& depth, int& hertz,
                              GraphicsFlags& flags) {
    if (!context_) {
        width = height = depth = hertz = 0;
        flags = GraphicsFlags::NoFlags;
        return;
    }
    native::GetGLContextSettings(context_, width, height, depth, hertz, flags);
}

void TGLGraphics::Close() {
    if (!context_) return;
    native::CloseGLContext(context_);
    context_ = nullptr;
}

std::vector<Ref<TGraphicsMode>> TGLGraphicsDriver::GraphicsModes() {
    std::vector<Ref<TGraphicsMode>> modes;
    for (auto& [width, height, depth, hertz] : native::ListGLDisplayModes(1024)) {
        auto mode = New<TGraphicsMode>();
        mode->width = width;
        mode->height = height;
        mode->depth = depth;
        mode->hertz = hertz;
        modes.push_back(mode);
    }
    return modes;
}

namespace {

Ref<TGraphics> Wrap(GLContext* context) {
    return context ? New<TGLGraphics>(context) : nullptr;
}

} // namespace

Ref<TGraphics> TGLGraphicsDriver::AttachGraphics(NativeWidget widget, GraphicsFlags flags) {
    return Wrap(native::AttachGLContext(widget, flags));
}

Ref<TGraphics> TGLGraphicsDriver::CreateGraphics(int width, int height, int depth, int hertz,
                                                 GraphicsFlags flags) {
    return Wrap(native::CreateGLContext(width, height, depth, hertz, flags));
}

void TGLGraphicsDriver::SetGraphics(const Ref<TGraphics>& g) {
    auto gl = As<TGLGraphics>(g);
    native::MakeGLContextCurrent(gl ? gl->Context() : nullptr);
}

void TGLGraphicsDriver::Flip(int sync) {
    native::FlipGLContext(sync);
}

void TGLGraphicsDriver::ToggleSharedContext() {
    native::ToggleGLSharedContext();
}

// Never destroyed: exit handlers that close the graphics still need it after
// the statics made later than them have gone.
const Ref<TGraphicsDriver>& GLGraphicsDriver() {
    static const auto* driver = new Ref<TGraphicsDriver>(New<TGLGraphicsDriver>());
    return *driver;
}

TGLGraphicsDriver& TheGLGraphicsDriver() {
    return static_cast<TGLGraphicsDriver&>(*GLGraphicsDriver());
}

Ref<TGraphics> GLGraphics(int width, int height, int depth, int hertz, GraphicsFlags flags) {
    SetGraphicsDriver(GLGraphicsDriver(), GraphicsFlags::BackBuffer);
    return OpenGraphics(width, height, depth, hertz, flags);
}

} // namespace zandrel
