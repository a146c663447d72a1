// The native side of the OpenGL driver: one record per GL context, the
// hidden shared context, display modes and buffer swaps, over SDL.
#pragma once

#include "gl_graphics.hpp"

#include <array>
#include <vector>

struct SDL_Window;

namespace zandrel {

enum GLContextKind : int {
    SharedContext = 0,
    AttachedContext = 1,   // in a window that the caller owns
    WindowedContext = 2,   // in a window made here
    FullScreenContext = 3, // in a full-screen window made here
};

struct GLContext {
    GLContext* next = nullptr;
    int kind = SharedContext;
    int width = 0, height = 0, depth = 0, hertz = 0;
    GraphicsFlags flags = GraphicsFlags::NoFlags;
    SDL_Window* window = nullptr;
    void* glContext = nullptr;
    uint32_t windowId = 0;
};

namespace native {

// No record when the window or the context cannot be made; a full-screen
// mode that cannot be set raises "GLGraphicsDriver failed to set display mode".
GLContext* CreateGLContext(int width, int height, int depth, int hertz, GraphicsFlags flags);
GLContext* AttachGLContext(NativeWidget widget, GraphicsFlags flags);
void GetGLContextSettings(GLContext* context, int& width, int& height, int& depth, int& hertz,
                          GraphicsFlags& flags);
void CloseGLContext(GLContext* context);
void MakeGLContextCurrent(GLContext* context);
void FlipGLContext(int sync);
void ToggleGLSharedContext();

// Width, height, bits per pixel and refresh rate of each mode of 16 bits or more.
std::vector<std::array<int, 4>> ListGLDisplayModes(int max);

// For tests: the newest record, the shared one, and how often the swap
// interval was handed to the GL.
GLContext* FirstGLContext();
GLContext* SharedGLContext();
GLContext* CurrentGLContext();
int SwapIntervalCalls();

} // namespace native

} // namespace zandrel
