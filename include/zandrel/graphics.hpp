// Graphics contexts: display modes, driver selection, the application
// context, frame pacing and page flipping, and the OpenGL graphics driver.
#pragma once

#include <zandrel/stream.hpp>
#include <zandrel/system.hpp>

#include <cstdint>
#include <vector>

namespace zandrel {

void StartGraphicsModule();

enum GraphicsFlag : int {
    BackBuffer = 2,
    AlphaBuffer = 4,
    DepthBuffer = 8,
    StencilBuffer = 16,
    AccumBuffer = 32,
};

class TGraphicsMode : public Object {
public:
    int width = 0;
    int height = 0;
    int depth = 0;
    int hertz = 0;

    // For example: 800,600,16 60Hz
    String ToString() const override;
};

class TGraphicsDriver;

// A graphics context; its data type is its driver.
class TGraphics : public TDataObject {
public:
    Ref<TDataType> DataType() override;
    virtual Ref<TGraphicsDriver> Driver() = 0;
    virtual void GetSettings(int& width, int& height, int& depth, int& hertz, int& flags) = 0;
    // Releases the native context and its window.
    virtual void Close() = 0;
};

// A native window handle: an X11 window id under SDL's X11 video driver.
using NativeWidget = uintptr_t;

// A graphics driver. As a data type ("KVO.Graphics.TGraphics") it writes a
// context as its width, height, depth and hertz and reads one back by opening it.
class TGraphicsDriver : public TDataType {
public:
    String Name() override;
    Ref<Object> Read(TStream& stream) override;
    void Write(const Ref<Object>& object, TStream& stream) override;

    virtual std::vector<Ref<TGraphicsMode>> GraphicsModes() = 0;
    virtual Ref<TGraphics> AttachGraphics(NativeWidget widget, int flags) = 0;
    virtual Ref<TGraphics> CreateGraphics(int width, int height, int depth, int hertz,
                                          int flags) = 0;
    // Makes g current for rendering; no object makes nothing current.
    virtual void SetGraphics(const Ref<TGraphics>& g) = 0;
    // Presents the back buffer; sync 1 waits for the display.
    virtual void Flip(int sync) = 0;
};

// Selecting a driver forgets the current graphics (the application context
// stays open); the mode list is asked again after a change of driver.
void SetGraphicsDriver(const Ref<TGraphicsDriver>& driver, int defaultFlags = BackBuffer);
const Ref<TGraphicsDriver>& GraphicsDriver();
int GraphicsDriverFlags();

std::vector<Ref<TGraphicsMode>> ListGraphicsModes();
int CountGraphicsModes();
void GetGraphicsMode(int index, int& width, int& height, int& depth, int& hertz);
// 1 when some mode matches every argument that is not 0.
int GraphicsModeExists(int width, int height, int depth = 0, int hertz = 0);

// The current driver's context with the default flags added; no object when
// the driver fails.
Ref<TGraphics> AttachGraphics(NativeWidget widget, int flags = 0);
Ref<TGraphics> CreateGraphics(int width, int height, int depth = 0, int hertz = 0, int flags = 0);
void SetGraphics(const Ref<TGraphics>& g);
const Ref<TGraphics>& CurrentGraphics();
void CloseGraphics(const Ref<TGraphics>& g);

// The application context: depth 0 opens a window, any other depth the full
// screen; hertz 0 asks for no particular rate, otherwise Flip(-1) keeps it.
// Closes the previous one first; no object on failure.
Ref<TGraphics> OpenGraphics(int width, int height, int depth = 0, int hertz = 0, int flags = 0);
void EndGraphics();

// The settings of the current graphics, 0 when nothing is current.
int GraphicsWidth();
int GraphicsHeight();
int GraphicsDepth();
int GraphicsHertz();
int GraphicsFlags();

// Never 0; advances whenever the application context opens or closes, so that
// textures made for an earlier context can tell.
uint32_t GraphicsSeq();
// Run at the start of every Flip.
int FlipHook();

// sync -1: the display's pace in full screen, the requested hertz in a window
// (without catching up on lateness); 0 or 1 go straight to the driver.
void Flip(int sync = -1);

// ---------------------------------------------------------------------------
// The OpenGL graphics driver

struct GLContext;

class TGLGraphics : public TGraphics {
public:
    explicit TGLGraphics(GLContext* context) : context_(context) {}
    Ref<TGraphicsDriver> Driver() override;
    void GetSettings(int& width, int& height, int& depth, int& hertz, int& flags) override;
    void Close() override;
    // The native record, none after Close.
    GLContext* Context() const { return context_; }

private:
    GLContext* context_;
};

class TGLGraphicsDriver : public TGraphicsDriver {
public:
    std::vector<Ref<TGraphicsMode>> GraphicsModes() override;
    Ref<TGraphics> AttachGraphics(NativeWidget widget, int flags) override;
    Ref<TGraphics> CreateGraphics(int width, int height, int depth, int hertz, int flags) override;
    void SetGraphics(const Ref<TGraphics>& g) override;
    void Flip(int sync) override;
    // Makes the hidden shared context current, or back again: textures made
    // there are usable in every context.
    virtual void ToggleSharedContext();
};

const Ref<TGLGraphicsDriver>& GLGraphicsDriver();
// Selects the OpenGL driver with default flags BackBuffer and opens the graphics.
Ref<TGraphics> GLGraphics(int width, int height, int depth = 0, int hertz = 0, int flags = 0);

// Each side up to a power of two, then halved until the GL takes the size;
// "Unable to calculate tex size" when not even 1 x 1 is taken.
void GLAdjustTexSize(int& width, int& height);
// Draws 8 x 16 text with the built-in font into the current context; codes
// outside 32-127 leave a gap.
void GLDrawText(const String& text, int x, int y);

} // namespace zandrel
