// Full screen shown scaled, in plain OpenGL for any platform's native layer:
// the program draws into a framebuffer object of the size it asked for, bound
// for drawing and reading whenever it draws, and each swap scales that
// picture into the desktop-sized window with its aspect ratio kept and black
// bars around it. The functions act on the GL context current on the caller's thread.
#pragma once

#include <zandrel/graphics.hpp>

#include <cstdint>
#include <vector>

namespace zandrel {

// Where the picture goes in the window, in window pixels from the top left.
struct ScaledArea {
    int left = 0, top = 0, width = 0, height = 0;
    bool operator==(const ScaledArea&) const = default;
};

// The largest area of the picture's aspect ratio that the window holds, centred.
ScaledArea FitScaled(int pictureWidth, int pictureHeight, int windowWidth, int windowHeight);
// Whether the area is the picture enlarged a whole number of times.
bool WholeScale(const ScaledArea& area, int pictureWidth, int pictureHeight);

struct ScaledFramebuffer {
    unsigned framebuffer = 0, colour = 0, depthStencil = 0;
    int width = 0, height = 0;
    ScaledArea area;                    // where the last present put it
    std::vector<uint8_t> read, picture; // a software present's copies, kept for the next
    void* barsDrawnOn = nullptr;        // the window pixels whose bars it last drew
};

// Whether a GL_RENDERER string names a rasteriser that runs on the processor,
// where reading the picture back and scaling it there beats scaling it in GL.
bool SoftwareRenderer(const char* renderer);
// The current context's renderer, by SoftwareRenderer.
bool CurrentRendererIsSoftware();

// Made in the current context, whose own framebuffer must be bound, with
// the buffers `flags` asks for and alpha when `alpha` (the window's own
// framebuffer has it); left bound for drawing and reading, with the viewport
// and scissor box on it. False, with nothing left behind, when the GL cannot make it.
bool CreateScaledFramebuffer(ScaledFramebuffer& target, int width, int height, GraphicsFlags flags,
                             bool alpha);
// In the context it was made in.
void DeleteScaledFramebuffer(ScaledFramebuffer& target);
// Draws the picture into the window's back buffer at `area`, bars black;
// the GL state the program sees is left as it was.
void PresentScaled(const ScaledFramebuffer& source, const ScaledArea& area, int windowHeight);

// Byte order of a picture read back: red first, or blue first (what 32-bit
// little-endian desktops show, the order rasterisers on the processor keep).
enum class PictureOrder { Rgba, Bgra };
// The picture read back for the native layer to scale into the window, 4
// bytes a pixel; `pitch` is the step from one row to the one below it on
// screen, negative when the rows are left in GL's bottom-up order (so the
// result points at the top row). The GL state the program sees is left as it
// was. Null when there is no picture.
const uint8_t* ReadScaledPicture(ScaledFramebuffer& source, PictureOrder order, int& pitch);

} // namespace zandrel
