#include "gl_context.hpp"
#include "system/window_messages.hpp"

#include <SDL.h>

#include <cstdlib>
#include <cstring>
#include <string>

#ifdef __GLIBC__
#include <malloc.h>
#endif

namespace zandrel::native {

namespace {

GLContext* listHead = nullptr;
std::array<GLContext*, 3> sharedByProfile{};
GLContext* toggledShared = nullptr; // the shared context toggled current, if any
GLContext* current = nullptr;
GLContext* fullScreen = nullptr;
int lastSwapInterval = -1;
bool swapIntervalTaken = false;
int swapIntervalCalls = 0;
SwapStandIn swapStandIn;
ScaledPresentPath scaledPresentPath = ScaledPresentPath::ByRenderer;

// The window a context draws through.
SDL_Window* Drawable(const GLContext* record) {
    return record->glWindow ? record->glWindow : record->window;
}

// A software GL allocates its binning memory while a frame is drawn and frees
// it when the frame is done; glibc hands the freed top of the heap back to
// the kernel past 128 KiB, so every frame would fault the same megabytes in
// again. Freed memory up to the size of a few heavy frames stays with the
// process, and blocks up to 32 MiB come from the heap, where they are reused.
void KeepFrameMemory() {
#ifdef __GLIBC__
    const char* keep = std::getenv("ZANDREL_KEEP_MALLOC");
    if (keep && std::string_view(keep) == "1") return;
    mallopt(M_MMAP_THRESHOLD, 32 << 20);
    mallopt(M_TRIM_THRESHOLD, 64 << 20);
#endif
}

bool IsSet(const char* name) {
    const char* value = std::getenv(name);
    return value && *value;
}

// What a program can tell its user when no display could be reached.
void ReportNoDisplay() {
    if (IsSet("DISPLAY")) {
        SetLoadError(S("cannot reach the X server ") + FromUtf8(std::getenv("DISPLAY")));
    } else if (!IsSet("WAYLAND_DISPLAY")) {
        SetLoadError(S("no display: DISPLAY is not set"));
    } else {
        SetLoadError(S("no display: ") + FromUtf8(SDL_GetError()));
    }
}

// Without a runtime folder (and no absolute socket path), a Wayland
// compositor cannot be reached, and the client library says so on standard
// error at each attempt: such a probe is left out of the drivers tried.
bool WaylandUnreachable() {
    const char* socket = std::getenv("WAYLAND_DISPLAY");
    return !IsSet("XDG_RUNTIME_DIR") && !(socket && socket[0] == '/');
}

std::string DriversButWayland() {
    std::string list;
    for (int i = 0; i < SDL_GetNumVideoDrivers(); ++i) {
        std::string name = SDL_GetVideoDriver(i);
        if (name == "wayland") continue;
        list += (list.empty() ? "" : ",") + name;
    }
    return list;
}

// SDL's own choice of driver, but for a Wayland probe that cannot succeed.
// The driver hint is put back at once, so the program sees no change.
bool InitVideoSubsystem(const char* asked) {
    if (asked || !WaylandUnreachable()) return SDL_InitSubSystem(SDL_INIT_VIDEO) == 0;
    SDL_SetHint(SDL_HINT_VIDEODRIVER, DriversButWayland().c_str());
    bool started = SDL_InitSubSystem(SDL_INIT_VIDEO) == 0;
    SDL_ResetHint(SDL_HINT_VIDEODRIVER);
    return started;
}

// Given no display it can reach, SDL falls back to drawing into memory, where
// nobody sees the window: that counts as no display, unless SDL_VIDEODRIVER
// asks for such a driver by name.
bool StartDisplayConnection() {
    const char* asked = SDL_GetHint(SDL_HINT_VIDEODRIVER);
    if (!InitVideoSubsystem(asked)) {
        ReportNoDisplay();
        return false;
    }
    std::string driver = SDL_GetCurrentVideoDriver();
    bool unseen = driver == "offscreen" || driver == "dummy";
    if (!unseen || (asked && std::strstr(asked, driver.c_str()))) return true;
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
    ReportNoDisplay();
    return false;
}

// Why the window or context that SDL was asked for did not come.
bool ReportSdlFailure(const char* what) {
    SetLoadError(FromUtf8(what) + S(": ") + FromUtf8(SDL_GetError()));
    return false;
}

// Focus changes of the full-screen window are handled here, not by SDL. Video
// that the program started itself (SDL_CreateWindow starts it implicitly) is
// used as it is: starting it again would close the program's windows.
bool StartVideo() {
    static bool started = false;
    if (started) return true;
    KeepFrameMemory();
    SDL_SetHint(SDL_HINT_VIDEO_MINIMIZE_ON_FOCUS_LOSS, "0");
    SDL_SetHint(SDL_HINT_VIDEO_FOREIGN_WINDOW_OPENGL, "1");
    if (!SDL_GetCurrentVideoDriver() && !StartDisplayConnection()) return false;
    SDL_StartTextInput();
    started = true;
    return true;
}

GLContext*& SharedOf(GLProfile profile) {
    return sharedByProfile[static_cast<size_t>(profile)];
}

void SetProfile(GLProfile profile) {
    switch (profile) {
    case GLProfile::ES:
        SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_ES);
        SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 3);
        SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 0);
        break;
    case GLProfile::Core:
        SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_CORE);
        SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 3);
        SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 3);
        break;
    default:
        SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_COMPATIBILITY);
        break;
    }
}

// The buffers asked for are minimums: 1 bit means "some".
void SetPixelFormat(GraphicsFlags flags, GLProfile profile) {
    SDL_GL_ResetAttributes();
    SetProfile(profile);
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
    toggledShared = nullptr;
    if (current)
        SDL_GL_MakeCurrent(Drawable(current), current->glContext);
    else
        SDL_GL_MakeCurrent(nullptr, nullptr);
}

bool SetSwapInterval(int interval) {
    ++swapIntervalCalls;
    if (swapStandIn.setInterval) return swapStandIn.setInterval(interval);
    return SDL_GL_GetCurrentContext() && SDL_GL_SetSwapInterval(interval) == 0;
}

// What a focus change sets is not what the flips asked for: the next flip
// asks again, so that a synchronised flip stays synchronised after it.
void SetFocusSwapInterval(int interval) {
    SetSwapInterval(interval);
    lastSwapInterval = -1;
}

// A context in `window` that shares its textures with the shared context.
// Creating it makes it current, so the remembered one is made current again.
SDL_GLContext CreateSharingContext(SDL_Window* window, GraphicsFlags flags, GLProfile profile) {
    GLContext* shared = SharedOf(profile);
    SetPixelFormat(flags, profile);
    SDL_GL_MakeCurrent(shared->window, shared->glContext);
    SDL_GL_SetAttribute(SDL_GL_SHARE_WITH_CURRENT_CONTEXT, 1);
    SDL_GLContext context = SDL_GL_CreateContext(window);
    RestoreCurrent();
    return context;
}

// A context that cannot be made is a failure to create, not a reason to end
// the process.
bool EnsureSharedContext(GLProfile profile) {
    GLContext*& shared = SharedOf(profile);
    if (shared) return true;
    if (!StartVideo()) return false;
    SetPixelFormat(GraphicsFlags::NoFlags, profile);
    SDL_Window* window = SDL_CreateWindow(
        "", 0, 0, 1, 1, SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN | SDL_WINDOW_BORDERLESS);
    if (!window) return ReportSdlFailure("cannot open a window");
    SDL_GLContext context = SDL_GL_CreateContext(window);
    if (!context) {
        ReportSdlFailure("no OpenGL context");
        SDL_DestroyWindow(window);
        return false;
    }
    shared = new GLContext;
    shared->kind = SharedContext;
    shared->profile = profile;
    shared->width = 1;
    shared->height = 1;
    shared->window = window;
    shared->glContext = context;
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
    // The X server's mode list can come back empty while another client is
    // reconfiguring it; the display still has the mode it runs in.
    SDL_DisplayMode desktop;
    if (modes.empty() && SDL_GetDesktopDisplayMode(0, &desktop) == 0) modes.push_back(desktop);
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
    SetFocusSwapInterval(rateApplied ? 1 : 0);
    return true;
}

void RestoreDesktopMode(GLContext* record) {
    SDL_SetWindowFullscreen(record->window, 0);
    SetFocusSwapInterval(0);
    fullScreen = nullptr;
}

void DesktopSize(int& width, int& height) {
    SDL_DisplayMode desktop;
    if (SDL_GetDesktopDisplayMode(0, &desktop) == 0) {
        width = desktop.w;
        height = desktop.h;
    }
}

// Mouse positions of the window are then the picture's own.
void UpdateScaledArea(GLContext* record, int windowWidth, int windowHeight) {
    ScaledArea area = FitScaled(record->width, record->height, windowWidth, windowHeight);
    if (area == record->scaled.area) return;
    record->scaled.area = area;
    record->scaled.barsDrawnOn = nullptr;
    SetClientScaling(record->windowId,
                     {record->width, record->height, area.left, area.top, area.width, area.height});
}

// On a rasteriser that runs on the processor a scaled blit costs several
// times a swap of the whole desktop, while reading the picture back and
// scaling it on the processor into the window's own pixels costs about two.
// The context then draws through a hidden window of the same pixel format,
// and the visible one is only ever given pixels by SDL.
bool PresentsBySoftware() {
    if (scaledPresentPath != ScaledPresentPath::ByRenderer)
        return scaledPresentPath == ScaledPresentPath::Software;
    return CurrentRendererIsSoftware();
}

bool DrawThroughHiddenWindow(GLContext* record) {
    SetPixelFormat(record->flags, record->profile);
    record->glWindow = SDL_CreateWindow(
        "", 0, 0, 1, 1, SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN | SDL_WINDOW_BORDERLESS);
    if (!record->glWindow) return false;
    SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
    return SDL_GL_MakeCurrent(record->glWindow, record->glContext) == 0;
}

bool WindowHasAlpha() {
    int alpha = 0;
    return SDL_GL_GetAttribute(SDL_GL_ALPHA_SIZE, &alpha) == 0 && alpha > 0;
}

// The desktop keeps its mode: the window covers it, and the picture is drawn
// at the size asked for into a framebuffer that every swap scales into it.
bool ShowScaled(GLContext* record) {
    int width = record->width, height = record->height;
    DesktopSize(width, height);
    int shownWidth = 0, shownHeight = 0;
    SDL_GetWindowSize(record->window, &shownWidth, &shownHeight);
    if (shownWidth != width || shownHeight != height) {
        SDL_SetWindowPosition(record->window, 0, 0);
        SDL_SetWindowSize(record->window, width, height);
    }
    SDL_SetWindowFullscreen(record->window, SDL_WINDOW_FULLSCREEN_DESKTOP);
    SDL_GL_MakeCurrent(record->window, record->glContext);
    bool alpha = WindowHasAlpha();
    bool made = (!PresentsBySoftware() || DrawThroughHiddenWindow(record)) &&
                CreateScaledFramebuffer(record->scaled, record->width, record->height,
                                        record->flags, alpha);
    RestoreCurrent();
    if (made) UpdateScaledArea(record, width, height);
    return made;
}

void PresentScaledPicture(GLContext* record) {
    int width = 0, height = 0;
    SDL_GL_GetDrawableSize(record->window, &width, &height);
    UpdateScaledArea(record, width, height);
    PresentScaled(record->scaled, record->scaled.area, height);
}

// The window's pixels around the picture, drawn when the window's pixels or
// the picture's place are new; then the whole window is shown, else only the picture.
void FillBars(SDL_Surface* screen, const SDL_Rect& picture) {
    Uint32 black = SDL_MapRGB(screen->format, 0, 0, 0);
    SDL_Rect bars[4] = {
        {0, 0, screen->w, picture.y},
        {0, picture.y + picture.h, screen->w, screen->h - picture.y - picture.h},
        {0, picture.y, picture.x, picture.h},
        {picture.x + picture.w, picture.y, screen->w - picture.x - picture.w, picture.h},
    };
    for (const SDL_Rect& bar : bars)
        if (bar.w > 0 && bar.h > 0) SDL_FillRect(screen, &bar, black);
}

// Window pixels whose bytes run blue, green, red, then alpha or padding take
// the picture as it is read back in that order, and likewise red first;
// others have SDL convert it as it scales.
Uint32 PictureFormat(const SDL_Surface* screen, PictureOrder& order) {
    Uint32 format = screen->format->format;
    order = PictureOrder::Bgra;
    if (format == SDL_PIXELFORMAT_RGB888 || format == SDL_PIXELFORMAT_ARGB8888) return format;
    order = PictureOrder::Rgba;
    if (format == SDL_PIXELFORMAT_BGR888 || format == SDL_PIXELFORMAT_ABGR8888) return format;
    order = PictureOrder::Bgra;
    return SDL_PIXELFORMAT_ARGB8888;
}

void PresentBySoftware(GLContext* record) {
    SDL_Surface* screen = SDL_GetWindowSurface(record->window);
    if (!screen) return;
    UpdateScaledArea(record, screen->w, screen->h);
    PictureOrder order = PictureOrder::Bgra;
    Uint32 format = PictureFormat(screen, order);
    ScaledFramebuffer& source = record->scaled;
    int pitch = 0;
    const uint8_t* pixels = ReadScaledPicture(source, order, pitch);
    // The rows stay in GL's order: a negative pitch walks them top down.
    SDL_Surface* picture = SDL_CreateRGBSurfaceWithFormatFrom(nullptr, source.width, source.height,
                                                              32, 4 * source.width, format);
    if (!pixels || !picture) return;
    picture->pixels = const_cast<uint8_t*>(pixels);
    picture->pitch = pitch;
    const ScaledArea& area = source.area;
    SDL_Rect target{area.left, area.top, area.width, area.height};
    bool newBars = source.barsDrawnOn != screen;
    if (newBars) FillBars(screen, target);
    source.barsDrawnOn = screen;
    if (format != screen->format->format)
        SDL_BlitScaled(picture, nullptr, screen, &target);
    else if (WholeScale(area, source.width, source.height))
        SDL_SoftStretch(picture, nullptr, screen, &target);
    else
        SDL_SoftStretchLinear(picture, nullptr, screen, &target);
    picture->pixels = nullptr;
    SDL_FreeSurface(picture);
    if (newBars)
        SDL_UpdateWindowSurface(record->window);
    else
        SDL_UpdateWindowSurfaceRects(record->window, &target, 1);
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
        !record->Scaled() && fullScreen != record) {
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

// A window to be shown scaled is made at the desktop's size from the start.
SDL_Window* CreateWindow(const GLContext& record, bool scaled) {
    std::string title = ToUtf8(ApplicationTitle());
    Uint32 style = SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN;
    int width = record.width, height = record.height;
    if (scaled) DesktopSize(width, height);
    if (record.kind == FullScreenContext)
        return SDL_CreateWindow(title.c_str(), 0, 0, width, height, style | SDL_WINDOW_BORDERLESS);
    return SDL_CreateWindow(title.c_str(), 32, 32, width, height, style);
}

bool HasDisplayMode(const GLContext& record) {
    SDL_DisplayMode mode;
    bool rateApplied = false;
    return ChooseDisplayMode(record, mode, rateApplied);
}

GLContext* NewRecord(int kind, int width, int height, GraphicsFlags flags) {
    auto* record = new GLContext;
    record->kind = kind;
    record->width = width;
    record->height = height;
    record->flags = flags;
    return record;
}

} // namespace

GLContext* CreateGLContext(int width, int height, int depth, int hertz, GraphicsFlags flags,
                           bool scaledOnly, GLProfile profile) {
    if (width <= 0 || height <= 0 || !EnsureSharedContext(profile)) return nullptr;
    int kind = depth != 0 ? FullScreenContext : WindowedContext;
    auto* record = NewRecord(kind, width, height, flags);
    record->profile = profile;
    record->depth = depth;
    record->hertz = hertz;
    bool scaled = kind == FullScreenContext && (scaledOnly || !HasDisplayMode(*record));
    SetPixelFormat(flags, profile);
    record->window = CreateWindow(*record, scaled);
    if (record->window) record->glContext = CreateSharingContext(record->window, flags, profile);
    if (!record->glContext) {
        ReportSdlFailure(record->window ? "no OpenGL context" : "cannot open a window");
        if (record->window) SDL_DestroyWindow(record->window);
        delete record;
        return nullptr;
    }
    record->windowId = SDL_GetWindowID(record->window);
    Push(record);
    RegisterWindowProcedure(record->windowId, [record](const TWindowMessage& message) {
        WindowProcedure(record, message);
    });
    ShowAndActivate(record);
    if (kind == FullScreenContext && (scaled || !EnterFullScreen(record)) && !ShowScaled(record)) {
        CloseGLContext(record);
        throw RuntimeError("GLGraphicsDriver failed to set display mode");
    }
    return record;
}

GLContext* AttachGLContext(NativeWidget widget, GraphicsFlags flags, GLProfile profile) {
    if (widget == 0 || !EnsureSharedContext(profile)) return nullptr;
    SDL_Window* window = SDL_CreateWindowFrom(reinterpret_cast<const void*>(widget));
    if (!window) return nullptr;
    SDL_GLContext context = CreateSharingContext(window, flags, profile);
    if (!context) {
        SDL_DestroyWindow(window);
        return nullptr;
    }
    int width = 0, height = 0;
    SDL_GetWindowSize(window, &width, &height);
    auto* record = NewRecord(AttachedContext, width, height, flags);
    record->profile = profile;
    record->window = window;
    record->glContext = context;
    record->windowId = SDL_GetWindowID(window);
    Push(record);
    return record;
}

bool GLProfileAvailable(GLProfile profile) {
    return EnsureSharedContext(profile);
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
    // Its buffers belong to every context that shares textures with it.
    if (context->Scaled()) {
        SDL_GL_MakeCurrent(Drawable(context), context->glContext);
        DeleteScaledFramebuffer(context->scaled);
        RestoreCurrent();
    }
    SDL_GL_DeleteContext(context->glContext);
    if (context->glWindow) SDL_DestroyWindow(context->glWindow);
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

bool SetGLSwapInterval(int interval) {
    if (interval != lastSwapInterval) {
        lastSwapInterval = interval;
        swapIntervalTaken = SetSwapInterval(interval);
    }
    return swapIntervalTaken;
}

void SwapGLBuffers() {
    if (!current) return;
    if (current->Scaled() && current->glWindow)
        PresentBySoftware(current);
    else if (current->Scaled())
        PresentScaledPicture(current);
    if (swapStandIn.swap)
        swapStandIn.swap();
    else if (!current->glWindow)
        SDL_GL_SwapWindow(current->window);
}

int GLDisplayRefreshRate() {
    if (!current) return 0;
    int display = SDL_GetWindowDisplayIndex(current->window);
    SDL_DisplayMode mode;
    if (display < 0 || SDL_GetCurrentDisplayMode(display, &mode) != 0) return 0;
    return mode.refresh_rate;
}

void GLWindowSize(const GLContext* context, int& width, int& height) {
    SDL_GL_GetDrawableSize(context->window, &width, &height);
}

void* GLProcAddress(const char* name) {
    return SDL_GL_GetProcAddress(name);
}

void ToggleGLSharedContext(GLProfile profile) {
    GLContext* shared = SharedOf(profile);
    if (!shared) return;
    if (SDL_GL_GetCurrentContext() != shared->glContext) {
        SDL_GL_MakeCurrent(shared->window, shared->glContext);
        toggledShared = shared;
    } else {
        RestoreCurrent();
        toggledShared = nullptr;
    }
}

GLProfile CurrentGLContextProfile() {
    if (toggledShared) return toggledShared->profile;
    return current ? current->profile : GLProfile::Compatibility;
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
GLContext* SharedGLContext(GLProfile profile) {
    return SharedOf(profile);
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

void SetScaledPresentPath(ScaledPresentPath path) {
    scaledPresentPath = path;
}

} // namespace zandrel::native
