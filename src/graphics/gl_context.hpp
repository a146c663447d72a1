// The native side of the OpenGL driver: one record per GL context, the
// hidden shared context, display modes, buffer swaps and full screen shown
// scaled, over SDL. A new platform provides each function declared here.
#pragma once

#include "gl_graphics.hpp"
#include "gl_scaled_framebuffer.hpp"

#include <array>
#include <functional>
#include <vector>

struct SDL_Window;

namespace zandrel {

enum GLContextKind : int {
    SharedContext = 0,
    AttachedContext = 1,   // in a window that the caller owns
    WindowedContext = 2,   // in a window made here
    FullScreenContext = 3, // in a full-screen window made here
};

// A number no other record of this run has had.
inline uint64_t NewGLContextSerial() {
    static uint64_t last = 0;
    return ++last;
}

struct GLContext {
    GLContext* next = nullptr;
    // Tells the record from one made later at the same address.
    uint64_t serial = NewGLContextSerial();
    int kind = SharedContext;
    int width = 0, height = 0, depth = 0, hertz = 0;
    GraphicsFlags flags = GraphicsFlags::NoFlags;
    GLProfile profile = GLProfile::Compatibility;
    SDL_Window* window = nullptr;
    void* glContext = nullptr;
    uint32_t windowId = 0;
    // A full-screen context shown scaled on the desktop's own mode draws here.
    ScaledFramebuffer scaled;
    // Set when the processor scales the picture into `window`: a hidden window
    // the context draws through, so that GL never presents into `window`.
    SDL_Window* glWindow = nullptr;
    // A vertex array of a shader driver: such objects are not shared between
    // contexts, so each context keeps its own, deleted with it.
    unsigned vertexArray = 0;

    bool Scaled() const { return scaled.framebuffer != 0; }
};

namespace native {

// No record when the window or the context cannot be made. A full-screen
// context switches the display's mode; where the display has no such mode or
// cannot switch (or always, with `scaledOnly`) it is shown scaled on the
// desktop's mode instead. One that cannot be given either way raises
// "GLGraphicsDriver failed to set display mode". Every context of a profile
// shares its textures with that profile's hidden shared context, made with
// the first one; no record either when that cannot be made.
GLContext* CreateGLContext(int width, int height, int depth, int hertz, GraphicsFlags flags,
                           bool scaledOnly, GLProfile profile);
GLContext* AttachGLContext(NativeWidget widget, GraphicsFlags flags, GLProfile profile);
// Whether contexts of the profile can be had at all: its shared context is
// made, or already was.
bool GLProfileAvailable(GLProfile profile);
void GetGLContextSettings(GLContext* context, int& width, int& height, int& depth, int& hertz,
                          GraphicsFlags& flags);
void CloseGLContext(GLContext* context);
void MakeGLContextCurrent(GLContext* context);
// Swap interval 0 or 1 for the current context's swaps; only a change is
// passed to the platform. False when the platform cannot give the interval.
bool SetGLSwapInterval(int interval);
// Presents the current context (a scaled one's picture scaled into its window).
void SwapGLBuffers();
// The refresh rate of the display showing the current context; 0 when the
// platform does not say.
int GLDisplayRefreshRate();
// The size in pixels of the window that shows the context.
void GLWindowSize(const GLContext* context, int& width, int& height);
// The address of a GL function of the current context's library, or null.
void* GLProcAddress(const char* name);
// Makes the hidden shared context of the profile current, or the current
// context current again when it already is.
void ToggleGLSharedContext(GLProfile profile);
// The profile of the context current on this thread, the shared ones included.
GLProfile CurrentGLContextProfile();

// Width, height, bits per pixel and refresh rate of each mode of 16 bits or more.
std::vector<std::array<int, 4>> ListGLDisplayModes(int max);

// The newest record, the others after it through `next`; for tests, the
// shared one and how often the swap interval was handed to the GL.
GLContext* FirstGLContext();
GLContext* SharedGLContext(GLProfile profile = GLProfile::Compatibility);
GLContext* CurrentGLContext();
int SwapIntervalCalls();

// For tests: stands in for the platform's swap interval and buffer swap, as a
// display whose swaps really wait would; empty functions put the platform's back.
struct SwapStandIn {
    std::function<bool(int interval)> setInterval; // true when the interval is taken
    std::function<void()> swap;
};
void SetSwapStandIn(SwapStandIn standIn);

// How full-screen contexts made from now on present a scaled picture: chosen
// by what the renderer is, or always one way (for tests and benchmarks).
enum class ScaledPresentPath { ByRenderer, Gpu, Software };
void SetScaledPresentPath(ScaledPresentPath path);

} // namespace native

} // namespace zandrel
