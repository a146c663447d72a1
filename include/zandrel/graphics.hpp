// Graphics contexts: display modes, driver selection, the application
// context, frame pacing and page flipping, and the OpenGL graphics drivers
// (GLGraphicsDriver on the compatibility profile, GLESGraphicsDriver on
// OpenGL ES 3.0 or 3.3 core) with their texture and text helpers. Extension point:
// graphics drivers (TGraphicsDriver). StartGraphicsModule() selects the
// OpenGL driver (StartZandrel() calls it). Threads: main thread only; the
// OpenGL calls act on the context current on that thread.
#pragma once

#include <zandrel/pixmap.hpp>
#include <zandrel/stream.hpp>
#include <zandrel/system.hpp>

#include <cstdint>
#include <vector>

namespace zandrel {

// Starts the system and pixmap modules and makes the OpenGL graphics driver
// the graphics driver; later calls do nothing.
void StartGraphicsModule();

// The buffers a context asks for, a flag set. (No enumerator is called
// None: X11's headers define that name as a macro.)
enum class GraphicsFlags : int {
    NoFlags = 0,
    BackBuffer = 2,
    AlphaBuffer = 4,
    DepthBuffer = 8,
    StencilBuffer = 16,
    AccumBuffer = 32,
};
ZANDREL_FLAG_SET(GraphicsFlags);

// A full-screen display mode a driver offers.
class TGraphicsMode : public Object {
public:
    // Width in pixels.
    int width = 0;
    // Height in pixels.
    int height = 0;
    // Colour depth in bits per pixel (32 for 24-bit colour in 4-byte pixels).
    int depth = 0;
    // Refresh rate in Hz.
    int hertz = 0;

    // For example: 800,600,16 60Hz
    String ToString() const override;
};

class TGraphicsDriver;

// A graphics context; its data type is its driver.
class TGraphics : public TDataObject {
public:
    Ref<TDataType> DataType() override;
    // The driver that made the context.
    virtual Ref<TGraphicsDriver> Driver() = 0;
    // The size in pixels, depth (0 for a window), hertz and flags the context was made with; all 0
    // once closed.
    virtual void GetSettings(int& width, int& height, int& depth, int& hertz,
                             GraphicsFlags& flags) = 0;
    // Releases the native context and its window.
    virtual void Close() = 0;
};

// A native window handle: an X11 window id under SDL's X11 video driver.
using NativeWidget = uintptr_t;

// A graphics driver. As a data type ("KVO.Graphics.TGraphics") it writes a
// context as its width, height, depth and hertz and reads one back by opening it.
class TGraphicsDriver : public TDataType {
public:
    // Write throws RuntimeError for an object that is not a graphics context.
    String Name() override;
    Ref<Object> Read(TStream& stream) override;
    // Writes the context's width, height, depth and hertz.
    void Write(const Ref<Object>& object, TStream& stream) override;

    // The full-screen modes the display offers.
    virtual std::vector<Ref<TGraphicsMode>> GraphicsModes() = 0;
    // No object when the context cannot be made.
    virtual Ref<TGraphics> AttachGraphics(NativeWidget widget, GraphicsFlags flags) = 0;
    // No object when the window or context cannot be made; a driver may throw
    // RuntimeError when a full-screen mode cannot be set.
    virtual Ref<TGraphics> CreateGraphics(int width, int height, int depth, int hertz,
                                          GraphicsFlags flags) = 0;
    // Makes g current for rendering; no object makes nothing current.
    virtual void SetGraphics(const Ref<TGraphics>& g) = 0;
    // Sends drawing the driver holds back to the GL (FlushDrawing, and every
    // Flip before it reads or shows the frame); a driver that draws at once
    // does nothing, which is the default.
    virtual void Flush() {}
    // Presents the back buffer; with `sync` it waits for the display.
    virtual void Flip(bool sync) = 0;
};

// Selecting a driver forgets the current graphics (the application context
// stays open); the mode list is asked again after a change of driver.
void SetGraphicsDriver(const Ref<TGraphicsDriver>& driver,
                       GraphicsFlags defaultFlags = GraphicsFlags::BackBuffer);
// The selected driver; no object before StartZandrel.
const Ref<TGraphicsDriver>& GraphicsDriver();
// The flags the selected driver adds to every context it makes.
GraphicsFlags GraphicsDriverFlags();

// The mode functions and those below that make contexts throw RuntimeError
// "No graphics driver selected: call StartZandrel() first" before a driver
// is chosen.
std::vector<Ref<TGraphicsMode>> ListGraphicsModes();
// How many modes ListGraphicsModes gives.
int CountGraphicsModes();
// Throws RuntimeError for an index outside the list.
void GetGraphicsMode(int index, int& width, int& height, int& depth, int& hertz);
// True when some mode matches every argument that is not 0.
bool GraphicsModeExists(int width, int height, int depth = 0, int hertz = 0);

// The current driver's context with the default flags added; no object when
// the driver fails or throws.
Ref<TGraphics> AttachGraphics(NativeWidget widget, GraphicsFlags flags = GraphicsFlags::NoFlags);
// A context of its own window (`depth` 0) or of the full screen, not made current; `hertz` 0 asks
// for no particular rate. No object when the driver fails or throws.
Ref<TGraphics> CreateGraphics(int width, int height, int depth = 0, int hertz = 0,
                              GraphicsFlags flags = GraphicsFlags::NoFlags);
// Makes g current, its driver becoming the graphics driver; no object makes
// nothing current.
void SetGraphics(const Ref<TGraphics>& g);
const Ref<TGraphics>& CurrentGraphics(); // empty when nothing is current
// Closes g, first making nothing current when g is; nothing for no object.
void CloseGraphics(const Ref<TGraphics>& g);

// The application context: depth 0 opens a window, any other depth the full
// screen; hertz 0 asks for no particular rate, otherwise Flip(-1) keeps it.
// Closes the previous one first; no object on failure. With no display to
// reach (DISPLAY unset or its X server gone), that is a failure too: windows
// nobody can see are opened only when SDL_VIDEODRIVER asks for "offscreen"
// or "dummy" by name; LastLoadError then says why it failed ("no display:
// DISPLAY is not set", "cannot reach the X server :1").
//
// What opening graphics changes for the whole process, and the way out:
// - glibc's trim and mmap thresholds rise (to 64 and 32 MiB) when video first
//   starts, so that a software renderer's per-frame memory is reused rather
//   than faulted in again each frame; ZANDREL_KEEP_MALLOC=1 leaves them be.
// - Full screen shown scaled on a software renderer sets SDL's
//   SDL_HINT_FRAMEBUFFER_ACCELERATION hint to "0" for the process; the
//   environment variable SDL_FRAMEBUFFER_ACCELERATION wins over it, and
//   SDL_ResetHint gives it back to SDL afterwards.
// - Full screen moves the mouse pointer to the middle of the screen;
//   ZANDREL_KEEP_POINTER=1 leaves it where it is.
Ref<TGraphics> OpenGraphics(int width, int height, int depth = 0, int hertz = 0,
                            GraphicsFlags flags = GraphicsFlags::NoFlags);
// Closes the application context and stops the polled input OpenGraphics
// started; nothing when there is none. Runs at exit.
void EndGraphics();

// Width in pixels of the current graphics. This and the settings below are 0 (NoFlags) when nothing
// is current.
int GraphicsWidth();
// Height in pixels of the current graphics.
int GraphicsHeight();
// Colour depth of the current graphics, 0 for a window.
int GraphicsDepth();
// Refresh rate of the current graphics in Hz, 0 for none asked.
int GraphicsHertz();
// Flags of the current graphics.
GraphicsFlags CurrentGraphicsFlags();

// Never 0; advances whenever the application context opens or closes, so that
// textures made for an earlier context can tell.
uint32_t GraphicsSeq();
// Run at the start of every Flip.
int FlipHook();

// How Flip paces frames. Auto: the display's pace in full screen, the
// requested hertz in a window (without catching up on lateness); Immediate
// shows the frame at once; VerticalBlank waits for the display.
enum class FlipSync : int { Auto = -1, Immediate = 0, VerticalBlank = 1 };

// Shows the frame drawn since the last Flip, paced as `sync` says.
void Flip(FlipSync sync = FlipSync::Auto);
// Seconds between the two latest Flips, for moving things by time rather
// than by frame; 0 until the application context has flipped twice. A run
// with "--frame-ms N" (see UnattendedRun) gets N / 1000 from the first Flip.
float FrameSeconds();

// ---------------------------------------------------------------------------
// The OpenGL graphics driver. A synchronised flip (Flip(1)) keeps the
// display's refresh rate even where the swap cannot wait for it. A full-screen
// context switches the display's mode; where the display has no such mode or
// cannot switch, it is shown scaled (see FullScreenScaling). Its CreateGraphics
// throws RuntimeError "GLGraphicsDriver failed to set display mode" when a
// full-screen context can be given neither way (the free CreateGraphics and
// OpenGraphics then give no object).

// The OpenGL graphics driver on compatibility contexts; with ZANDREL_GL=es
// or core, the shader driver (GLESGraphicsDriver) instead.
const Ref<TGraphicsDriver>& GLGraphicsDriver();

// How a full-screen context is given. Scaled, the desktop keeps its mode: the
// context draws into a picture of exactly its size, which each flip scales to
// fill the display with its aspect ratio kept and black bars around it; its
// size, pixels, read-backs and mouse positions are those of the size asked for.
enum class FullScreenScaling : int {
    WhenNeeded = 0, // switch the display's mode; scale only where that fails
    Always = 1,     // always scale, kinder to flat panels
};
// The environment variable ZANDREL_FULLSCREEN=scaled asks for Always too.
// Takes effect for contexts created afterwards.
void SetGLFullScreenScaling(FullScreenScaling scaling);
// The scaling SetGLFullScreenScaling chose.
FullScreenScaling GLFullScreenScaling();
// Selects the OpenGL driver with default flags BackBuffer and opens the graphics.
Ref<TGraphics> GLGraphics(int width, int height, int depth = 0, int hertz = 0,
                          GraphicsFlags flags = GraphicsFlags::NoFlags);

// ---------------------------------------------------------------------------
// Context profiles. The compatibility profile serves the fixed-function
// drivers above; the shader drivers (GLESGraphicsDriver, and GLES2DDriver in
// vex2d.hpp) draw on an OpenGL ES 3.0 context, or on a desktop OpenGL 3.3 core
// context, with nothing that either lacks. The environment variable
// ZANDREL_GL chooses for any program: "es" or "core" make GLGraphicsDriver()
// and GLVex2DDriver() give the shader drivers (on that profile), "compat" or
// nothing leave them the fixed-function ones. Read once, at the first call of
// either function.

// The kind of OpenGL a context offers.
enum class GLProfile : int {
    Compatibility = 0, // desktop OpenGL with the fixed-function pipeline
    Core = 1,          // desktop OpenGL 3.3 core: shaders only
    ES = 2,            // OpenGL ES 3.0
};

// The profile of the GL context current on this thread (made by a driver of
// this module); Compatibility when none is current.
GLProfile CurrentGLProfile();
// The address of a GL function by its name ("glClear") for the contexts this
// module makes, or null when the GL has none of that name: for programs that
// call GL themselves on any profile without linking a GL library. A program
// that mixes its own GL with 2D drawing calls FlushDrawing() (vex2d.hpp) first.
void* GLProcAddress(const char* name);

// The shader graphics driver: contexts of OpenGL ES 3.0, or of OpenGL 3.3
// core with ZANDREL_GL=core (each falling back to the other where the first
// cannot be had), with its own hidden shared context of the same profile.
// Otherwise as GLGraphicsDriver's, full screen shown scaled included.
const Ref<TGraphicsDriver>& GLESGraphicsDriver();

// Each side up to a power of two, then halved until the GL takes the size.
// Throws RuntimeError "Unable to calculate tex size" when not even 1 x 1 is taken.
void GLAdjustTexSize(int& width, int& height);
// A texture of the pixmap in the current context, resized to a size the GL
// takes; with every mipmap level down to 1 x 1 when `mipmapped`. No texture
// parameters are set. Throws RuntimeError for no pixmap.
uint32_t GLTexFromPixmap(Ref<TPixmap> pixmap, bool mipmapped);
// Draws 8 x 16 text with the built-in font into the current context, of any
// profile: in the current colour on the compatibility profile, in white on
// the shader profiles, which have no current colour. Codes outside 32-127
// leave a gap.
void GLDrawText(const String& text, int x, int y);

} // namespace zandrel
