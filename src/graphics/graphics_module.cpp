#include "graphics_parts.hpp"

#include <cstddef>

namespace zandrel::embedded {
extern const unsigned char gldrawtextfont[];
extern const std::size_t gldrawtextfont_size;
} // namespace zandrel::embedded

namespace zandrel {

void RegisterFontResources() {
    RegisterEmbedded(S("gldrawtextfont.bin"), embedded::gldrawtextfont,
                     static_cast<int>(embedded::gldrawtextfont_size));
}

void StartGraphicsModule() {
    static bool started = false;
    RunOnce(started, [] {
        StartSystemModule();
        StartPixmapModule();
        RegisterFontResources();
        StartGraphicsObjects();
        SetGraphicsDriver(GLGraphicsDriver(), GraphicsFlags::BackBuffer);
    });
}

} // namespace zandrel
