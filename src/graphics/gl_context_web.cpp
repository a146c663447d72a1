// GL contexts in a page: the page's one canvas, through SDL, with one WebGL 2
// context, which is OpenGL ES 3.0 to the drivers. Only the ES profile can be
// had, so the fixed-function drivers' contexts are made on it and drawn by the
// shader driver. WebGL contexts share nothing, but there is only one: it is
// also the shared context that textures are made in. A full-screen context is
// a canvas of the size asked for, which the page places; the browser shows
// frames at its own rate, so no swap interval is taken and flips are paced
// by the program's clock.
#include "gl_context.hpp"
#include "system/window_messages.hpp"

#include <SDL.h>

namespace zandrel::native {

namespace {

GLContext* canvasContext = nullptr;
GLContext* current = nullptr;
int swapIntervalCalls = 0;
SwapStandIn swapStandIn;

bool StartVideo() {
    static bool started = false;
    if (started) return true;
    if (!SDL_GetCurrentVideoDriver() && SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) return false;
    SDL_StartTextInput();
    started = true;
    return true;
}

void SetPixelFormat(GraphicsFlags flags) {
    SDL_GL_ResetAttributes();
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_ES);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 3);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 0);
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
    SDL_GL_SetAttribute(SDL_GL_ALPHA_SIZE, (flags & GraphicsFlags::AlphaBuffer) ? 8 : 0);
    SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, (flags & GraphicsFlags::DepthBuffer) ? 16 : 0);
    SDL_GL_SetAttribute(SDL_GL_STENCIL_SIZE, (flags & GraphicsFlags::StencilBuffer) ? 8 : 0);
}

void RestoreCurrent() {
    if (current)
        SDL_GL_MakeCurrent(current->window, current->glContext);
    else
        SDL_GL_MakeCurrent(nullptr, nullptr);
}

} // namespace

GLContext* CreateGLContext(int width, int height, int depth, int hertz, GraphicsFlags flags, bool,
                           GLProfile profile) {
    if (width <= 0 || height <= 0 || profile != GLProfile::ES || canvasContext) return nullptr;
    if (!StartVideo()) return nullptr;
    SetPixelFormat(flags);
    std::string title = ToUtf8(ApplicationTitle());
    SDL_Window* window = SDL_CreateWindow(title.c_str(), 0, 0, width, height, SDL_WINDOW_OPENGL);
    if (!window) return nullptr;
    SDL_GLContext context = SDL_GL_CreateContext(window);
    if (!context) {
        SDL_DestroyWindow(window);
        return nullptr;
    }
    auto* record = new GLContext;
    record->kind = depth != 0 ? FullScreenContext : WindowedContext;
    record->width = width;
    record->height = height;
    record->depth = depth;
    record->hertz = hertz;
    record->flags = flags;
    record->profile = GLProfile::ES;
    record->window = window;
    record->glContext = context;
    record->windowId = SDL_GetWindowID(window);
    canvasContext = record;
    RegisterWindowProcedure(record->windowId, [](const TWindowMessage& message) {
        if (canvasContext) TranslateWindowMessage(message, nullptr);
    });
    RestoreCurrent();
    return record;
}

// WebGL 2 is OpenGL ES 3.0; a browser without it fails at the canvas's context.
bool GLProfileAvailable(GLProfile profile) {
    return profile == GLProfile::ES;
}

// A page has no other widgets to draw into.
GLContext* AttachGLContext(NativeWidget, GraphicsFlags, GLProfile) {
    return nullptr;
}

void GetGLContextSettings(GLContext* context, int& width, int& height, int& depth, int& hertz,
                          GraphicsFlags& flags) {
    width = context->width;
    height = context->height;
    depth = context->depth;
    hertz = context->hertz;
    flags = context->flags;
}

void CloseGLContext(GLContext* context) {
    if (!context || context != canvasContext) return;
    if (context == current) MakeGLContextCurrent(nullptr);
    SDL_GL_DeleteContext(context->glContext);
    UnregisterWindowProcedure(context->windowId);
    SDL_DestroyWindow(context->window);
    canvasContext = nullptr;
    delete context;
}

void MakeGLContextCurrent(GLContext* context) {
    if (context == current) return;
    current = context;
    RestoreCurrent();
}

bool SetGLSwapInterval(int interval) {
    ++swapIntervalCalls;
    if (swapStandIn.setInterval) return swapStandIn.setInterval(interval);
    return false;
}

// The browser shows the canvas when the program next gives the page its turn.
void SwapGLBuffers() {
    if (current && swapStandIn.swap) swapStandIn.swap();
}

int GLDisplayRefreshRate() {
    return 0;
}

void GLWindowSize(const GLContext* context, int& width, int& height) {
    SDL_GL_GetDrawableSize(context->window, &width, &height);
}

void* GLProcAddress(const char* name) {
    return SDL_GL_GetProcAddress(name);
}

// The canvas's context is the shared one too.
void ToggleGLSharedContext(GLProfile) {}

GLProfile CurrentGLContextProfile() {
    return current ? current->profile : GLProfile::ES;
}

std::vector<std::array<int, 4>> ListGLDisplayModes(int max) {
    std::vector<std::array<int, 4>> modes;
    SDL_DisplayMode mode;
    if (max > 0 && StartVideo() && SDL_GetDesktopDisplayMode(0, &mode) == 0)
        modes.push_back({mode.w, mode.h, 32, mode.refresh_rate});
    return modes;
}

GLContext* FirstGLContext() {
    return canvasContext;
}
GLContext* SharedGLContext(GLProfile profile) {
    return profile == GLProfile::ES ? canvasContext : nullptr;
}
GLContext* CurrentGLContext() {
    return current;
}
int SwapIntervalCalls() {
    return swapIntervalCalls;
}

void SetSwapStandIn(SwapStandIn standIn) {
    swapStandIn = std::move(standIn);
}

} // namespace zandrel::native
