#include "graphics_parts.hpp"

#include <cstddef>

namespace zandrel::embedded {
extern const unsigned char gldrawtextfont[];
extern const std::size_t gldrawtextfont_size;
extern const unsigned char kestrfont[];
extern const std::size_t kestrfont_size;
} // namespace zandrel::embedded

namespace zandrel {

void RegisterFontResources() {
    RegisterEmbedded(S("gldrawtextfont.bin"), embedded::gldrawtextfont,
                     static_cast<int>(embedded::gldrawtextfont_size));
    // The image-font module's default font; registered here until that module
    // exists, so that "incbin::kestrfont.bin" opens from the start.
    RegisterEmbedded(S("kestrfont.bin"), embedded::kestrfont,
                     static_cast<int>(embedded::kestrfont_size));
}

void StartGraphicsModule() {
    static bool started = false;
    RunOnce(started, [] {
        StartSystemModule();
        RegisterFontResources();
        StartGraphicsObjects();
        SetGraphicsDriver(GLGraphicsDriver(), BackBuffer);
    });
}

} // namespace zandrel
