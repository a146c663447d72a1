// A program run unattended (RunProgram's --frames and --screenshot) ends at
// the Flip the frame count names, after saving the frame that Flip shows.
#include "graphics_parts.hpp"

#include <GL/gl.h>

#include <cstdio>
#include <cstdlib>

namespace zandrel {

namespace {

int flips = 0;
bool screenshotFailed = false;

// The frame about to be shown, as the screenshot keeps it: no alpha.
Ref<TPixmap> FrameBeingShown() {
    int width = GraphicsWidth(), height = GraphicsHeight();
    auto bottomUp = CreatePixmap(width, height, PixelFormat::FormatRGBA8888);
    bool doubleBuffered(CurrentGraphicsFlags() & GraphicsFlags::BackBuffer);
    glReadBuffer(doubleBuffered ? GL_BACK : GL_FRONT);
    glPixelStorei(GL_PACK_ALIGNMENT, 4);
    glPixelStorei(GL_PACK_ROW_LENGTH, 0);
    glReadPixels(0, 0, width, height, GL_RGBA, GL_UNSIGNED_BYTE, bottomUp->Pixels());
    return ConvertPixmap(YFlipPixmap(bottomUp), PixelFormat::FormatRGB888);
}

// The flips that clear both buffers while a display opens are not frames of
// the program: "--frames 1" means the first frame the program itself shows.
bool ShowsProgramFrame() {
    return CurrentGraphics() && GraphicsWidth() > 0 && GraphicsHeight() > 0;
}

bool SaveScreenshot(const String& path) {
    return SavePixmapPNG(FrameBeingShown(), path, 9);
}

} // namespace

bool LastUnattendedFrame() {
    auto& run = UnattendedRunOptions();
    if (run.frames == 0 || !ShowsProgramFrame() || ++flips < run.frames) return false;
    if (!run.screenshot.empty() && !SaveScreenshot(run.screenshot)) {
        std::fprintf(stderr, "Cannot save the screenshot %s\n", ToUtf8(run.screenshot).c_str());
        screenshotFailed = true;
    }
    return true;
}

void EndUnattendedRun() {
    std::exit(screenshotFailed ? 1 : 0);
}

} // namespace zandrel
