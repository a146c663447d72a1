#include "vex2d_parts.hpp"

namespace zandrel {

void StartVex2DModule() {
    static bool started = false;
    RunOnce(started, [] {
        StartSystemModule();
        StartGraphicsModule();
        StartImageFontModule();
        SetGraphicsDriver(GLVex2DDriver(), GraphicsFlags::BackBuffer);
    });
}

} // namespace zandrel
