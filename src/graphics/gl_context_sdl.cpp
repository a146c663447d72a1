#include "gl_context.hpp"
#include "system/window_messages.hpp"

#include <SDL.h>

namespace zandrel::native {

namespace {

GLContext* listHead = nullptr;
GLContext* shared = nullptr;
GLContext* current = nullptr;
GLContext* fullScreen = nullptr;
int lastSwapInterval = -1;
int swapIntervalCalls = 0;

// Focus changes of the full-screen window are handled here, not by SDL. Video
// that the program started itself (SDL_CreateWindow starts it implicitly) is
// used as it is: starting it again would close the program's windows.
bool StartVideo() {
    static bool started = false;
    if (started) return true;
    SDL_SetHint(SDL_HINT_VIDEO_MINIMIZE_ON_FOCUS_LOSS, "0");
    SDL_SetHint(SDL_HINT_VIDEO_FOREIGN_WINDOW_OPENGL, "1");
    if (!SDL_GetCurrentVideoDriver() && SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) return false;
    SDL_StartTextInput();
    started = true;
    return true;
}

// The buffers asked for are minimums: 1 bit means "some".
void SetPixelFormat(GraphicsFlags flags) {
    SDL_GL_ResetAttributes();
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_COMPATIBILITY);
    SDL_GL_SetAttribute(SDL_GL_RED_SIZE, 1);
    SDL_GL_SetAttribute(SDL_GL_GREEN_SIZE, 1);
    SDL_GL_SetAttribute(SDL_GL_BLUE_SIZE, 1);
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, (flags & GraphicsFlags::BackBuffer) ? 1 : 0);
    SDL_GL_SetAttribute(SDL_GL_ALPHA_SIZE, (flags & GraphicsFlags::AlphaBuffer) ? 1 : 0);
    SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, (flags & GraphicsFlags::DepthBuffer) ? 1 : 0);
    SDL_GL_SetAttribute(SDL_GL_STENCIL_SIZE, (flags & GraphicsFlags::StencilBuffer) ? 1 : 0);
    int accum = (flags & GraphicsFlags::AccumBuffer) ? 1 : 0;
    SDL_GL_SetAttribute(SDL_GL_ACCUM_RED_SIZE, accum);
    SDL_GL_SetAttribute(SDL_GL_ACCUM_GREEN_SIZE, accum);
    SDL_GL_SetAttribute(SDL_GL_ACCUM_BLUE_SIZE, accum);
    SDL_GL_SetAttribute(SDL_GL_ACCUM_ALPHA_SIZE, accum);
}

void RestoreCurrent() {
    if (current)
        SDL_GL_MakeCurrent(current->window, current->glContext);
    else
        SDL_GL_MakeCurrent(nullptr, nullptr);
}

void SetSwapInterval(int interval) {
    ++swapIntervalCalls;
    if (SDL_GL_GetCurrentContext()) SDL_GL_SetSwapInterval(interval);
}

// A context in `window` that shares its textures with the shared context.
// Creating it makes it current, so the remembered one is made current again.
SDL_GLContext CreateSharingContext(SDL_Window* window, GraphicsFlags flags) {
    SetPixelFormat(flags);
    SDL_GL_MakeCurrent(shared->window, shared->glContext);
    SDL_GL_SetAttribute(SDL_GL_SHARE_WITH_CURRENT_CONTEXT, 1);
    SDL_GLContext context = SDL_GL_CreateContext(window);
    RestoreCurrent();
    return context;
}

// A context that cannot be made is a failure to create, not a reason to end
// the process.
bool EnsureSharedContext() {
    if (shared) return true;
    if (!StartVideo()) return false;
    SetPixelFormat(GraphicsFlags::NoFlags);
    SDL_Window* window = SDL_CreateWindow(
        "", 0, 0, 1, 1, SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN | SDL_WINDOW_BORDERLESS);
    if (!window) return false;
    SDL_GLContext context = SDL_GL_CreateContext(window);
    if (!context) {
        SDL_DestroyWindow(window);
        return false;
    }
    shared = new GLContext{nullptr, SharedContext,          1,      1,       0,
                           0,       GraphicsFlags::NoFlags, window, context, 0};
    RestoreCurrent();
    return true;
}

int DepthOf(const SDL_DisplayMode& mode) {
    int bits = static_cast<int>(SDL_BITSPERPIXEL(mode.format));
    // 24-bit colour in 4-byte pixels is what desktops call a 32-bit mode.
    if (bits == 24 && SDL_BYTESPERPIXEL(mode.format) == 4) return 32;
    return bits;
}

std::vector<SDL_DisplayMode> DisplayModes() {
    std::vector<SDL_DisplayMode> modes;
    int count = SDL_GetNumDisplayModes(0);
    for (int i = 0; i < count; ++i) {
        SDL_DisplayMode mode;
        if (SDL_GetDisplayMode(0, i, &mode) == 0) modes.push_back(mode);
    }
    return modes;
}

// The mode of the record's size with its rate (when asked and available) and
// the depth closest to the one asked for.
bool ChooseDisplayMode(const GLContext& record, SDL_DisplayMode& chosen, bool& rateApplied) {
    auto pick = [&](bool matchRate) {
        int bestDistance = -1;
        for (auto& mode : DisplayModes()) {
            if (mode.w != record.width || mode.h != record.height) continue;
            if (matchRate && mode.refresh_rate != record.hertz) continue;
            int distance = std::abs(DepthOf(mode) - record.depth);
            if (bestDistance < 0 || distance < bestDistance) {
                bestDistance = distance;
                chosen = mode;
            }
        }
        return bestDistance >= 0;
    };
    rateApplied = record.hertz != 0 && pick(true);
    return rateApplied || pick(false);
}

bool EnterFullScreen(GLContext* record) {
    SDL_DisplayMode mode;
    bool rateApplied = false;
    if (!ChooseDisplayMode(*record, mode, rateApplied)) return false;
    if (SDL_SetWindowDisplayMode(record->window, &mode) != 0) return false;
    if (SDL_SetWindowFullscreen(record->window, SDL_WINDOW_FULLSCREEN) != 0) return false;
    fullScreen = record;
    SetSwapInterval(rateApplied ? 1 : 0);
    return true;
}

void RestoreDesktopMode(GLContext* record) {
    SDL_SetWindowFullscreen(record->window, 0);
    SetSwapInterval(0);
    fullScreen = nullptr;
}

bool Listed(const GLContext* record) {
    for (auto* entry = listHead; entry; entry = entry->next)
        if (entry == record) return true;
    return false;
}

void WindowProcedure(GLContext* record, const TWindowMessage& message) {
    if (!Listed(record)) return;
    TranslateWindowMessage(message, nullptr);
    if (message.kind == TWindowMessage::FocusGained && record->kind == FullScreenContext &&
        fullScreen != record) {
        if (!EnterFullScreen(record))
            throw RuntimeError("GLGraphicsDriver failed to set display mode");
    } else if (message.kind == TWindowMessage::FocusLost && fullScreen == record) {
        RestoreDesktopMode(record);
        SDL_MinimizeWindow(record->window);
    }
}

void Push(GLContext* record) {
    record->next = listHead;
    listHead = record;
}

void Unlink(GLContext* record) {
    for (GLContext** link = &listHead; *link; link = &(*link)->next) {
        if (*link == record) {
            *link = record->next;
            return;
        }
    }
}

// Showing a window made here also gives it the input focus, as activating a
// new top-level window does on other desktops.
void ShowAndActivate(GLContext* record) {
    SDL_ShowWindow(record->window);
    SDL_RaiseWindow(record->window);
    SDL_SetWindowInputFocus(record->window);
}

SDL_Window* CreateWindow(int kind, int width, int height) {
    std::string title = ToUtf8(ApplicationTitle());
    Uint32 style = SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN;
    if (kind == FullScreenContext)
        return SDL_CreateWindow(title.c_str(), 0, 0, width, height, style | SDL_WINDOW_BORDERLESS);
    return SDL_CreateWindow(title.c_str(), 32, 32, width, height, style);
}

} // namespace

GLContext* CreateGLContext(int width, int height, int depth, int hertz, GraphicsFlags flags) {
    if (width <= 0 || height <= 0 || !EnsureSharedContext()) return nullptr;
    int kind = depth != 0 ? FullScreenContext : WindowedContext;
    SetPixelFormat(flags);
    SDL_Window* window = CreateWindow(kind, width, height);
    if (!window) return nullptr;
    SDL_GLContext context = CreateSharingContext(window, flags);
    if (!context) {
        SDL_DestroyWindow(window);
        return nullptr;
    }
    auto* record = new GLContext{nullptr, kind,  width,  height,  depth,
                                 hertz,   flags, window, context, SDL_GetWindowID(window)};
    Push(record);
    RegisterWindowProcedure(record->windowId, [record](const TWindowMessage& message) {
        WindowProcedure(record, message);
    });
    ShowAndActivate(record);
    if (kind == FullScreenContext && !EnterFullScreen(record)) {
        CloseGLContext(record);
        throw RuntimeError("GLGraphicsDriver failed to set display mode");
    }
    return record;
}

GLContext* AttachGLContext(NativeWidget widget, GraphicsFlags flags) {
    if (widget == 0 || !EnsureSharedContext()) return nullptr;
    SDL_Window* window = SDL_CreateWindowFrom(reinterpret_cast<const void*>(widget));
    if (!window) return nullptr;
    SDL_GLContext context = CreateSharingContext(window, flags);
    if (!context) {
        SDL_DestroyWindow(window);
        return nullptr;
    }
    int width = 0, height = 0;
    SDL_GetWindowSize(window, &width, &height);
    auto* record =
        new GLContext{nullptr, AttachedContext, width,  height,  0,
                      0,       flags,           window, context, SDL_GetWindowID(window)};
    Push(record);
    return record;
}

void GetGLContextSettings(GLContext* context, int& width, int& height, int& depth, int& hertz,
                          GraphicsFlags& flags) {
    if (context->kind == AttachedContext)
        SDL_GetWindowSize(context->window, &context->width, &context->height);
    width = context->width;
    height = context->height;
    depth = context->depth;
    hertz = context->hertz;
    flags = context->flags;
}

// A window SDL was handed by the caller stays the caller's: destroying SDL's
// record of it leaves the native window alone.
void CloseGLContext(GLContext* context) {
    if (!Listed(context)) return;
    if (context == current) MakeGLContextCurrent(nullptr);
    SDL_GL_DeleteContext(context->glContext);
    if (context->kind != AttachedContext) UnregisterWindowProcedure(context->windowId);
    if (context == fullScreen) RestoreDesktopMode(context);
    SDL_DestroyWindow(context->window);
    Unlink(context);
    delete context;
}

void MakeGLContextCurrent(GLContext* context) {
    if (context == current) return;
    current = context;
    RestoreCurrent();
}

void FlipGLContext(int sync) {
    if (!current) return;
    int interval = sync != 0 ? 1 : 0;
    if (interval != lastSwapInterval) {
        lastSwapInterval = interval;
        SetSwapInterval(interval);
    }
    SDL_GL_SwapWindow(current->window);
}

void ToggleGLSharedContext() {
    if (!shared) return;
    if (SDL_GL_GetCurrentContext() != shared->glContext)
        SDL_GL_MakeCurrent(shared->window, shared->glContext);
    else
        RestoreCurrent();
}

std::vector<std::array<int, 4>> ListGLDisplayModes(int max) {
    std::vector<std::array<int, 4>> modes;
    if (!StartVideo()) return modes;
    for (auto& mode : DisplayModes()) {
        if (static_cast<int>(modes.size()) >= max) break;
        int depth = DepthOf(mode);
        if (depth >= 16) modes.push_back({mode.w, mode.h, depth, mode.refresh_rate});
    }
    return modes;
}

GLContext* FirstGLContext() {
    return listHead;
}
GLContext* SharedGLContext() {
    return shared;
}
GLContext* CurrentGLContext() {
    return current;
}
int SwapIntervalCalls() {
    return swapIntervalCalls;
}

} // namespace zandrel::native
