#include "gl_context.hpp"
#include "graphics_parts.hpp"

#include <cstdio>
#include <cstdlib>
#include <string_view>
#include <unordered_map>

namespace zandrel {

namespace {

FullScreenScaling fullScreenScaling = FullScreenScaling::WhenNeeded;

// How synchronised flips of one context keep the display's pace.
struct DisplayPacing {
    bool measured = false;
    bool swapWaits = false; // measured: the swap itself waits for the display
    bool scheduled = false;
    FrameSchedule schedule;
};

std::unordered_map<const GLContext*, DisplayPacing> displayPacing;

// Desktops that cannot switch modes still have a rate; 60 Hz where none is said.
int DisplayRate() {
    int hertz = native::GLDisplayRefreshRate();
    return hertz > 0 ? hertz : 60;
}

// The schedule a synchronised flip keeps after its swap, or none when the
// swap itself waits for the display: a swap that cannot be told to wait, or
// that is seen not to, is paced here at the display's rate.
FrameSchedule* SoftwarePace(const GLContext* context, bool intervalTaken) {
    DisplayPacing& pacing = displayPacing[context];
    if (intervalTaken && !pacing.measured) {
        pacing.swapWaits = HardwarePaces([] { native::SwapGLBuffers(); }, DisplayRate());
        pacing.measured = true;
    }
    if (intervalTaken && pacing.swapWaits) return nullptr;
    if (!pacing.scheduled) {
        pacing.schedule.Start(DisplayRate());
        pacing.scheduled = true;
    }
    return &pacing.schedule;
}

bool ScaledOnly() {
    const char* asked = std::getenv("ZANDREL_FULLSCREEN");
    return fullScreenScaling == FullScreenScaling::Always ||
           (asked && std::string_view(asked) == "scaled");
}

// Said once for each size and display, so that the user knows why the picture
// is not sharp.
void ReportScaled(const GLContext* context) {
    static std::string said;
    int width = 0, height = 0;
    native::GLWindowSize(context, width, height);
    char line[128];
    std::snprintf(line, sizeof line, "%d x %d shown scaled on a %d x %d display\n", context->width,
                  context->height, width, height);
    if (said == line) return;
    said = line;
    std::fputs(line, stderr);
}

} // namespace

Ref<TGraphicsDriver> TGLGraphics::Driver() {
    return driver_;
}

GLProfile TGLGraphics::Profile() const {
    return context_ ? context_->profile : GLProfile::Compatibility;
}

void TGLGraphics::GetSettings(int& width, int& height, int& depth, int& hertz,
                              GraphicsFlags& flags) {
    if (!context_) {
        width = height = depth = hertz = 0;
        flags = GraphicsFlags::NoFlags;
        return;
    }
    native::GetGLContextSettings(context_, width, height, depth, hertz, flags);
}

void TGLGraphics::Close() {
    if (!context_) return;
    displayPacing.erase(context_);
    native::CloseGLContext(context_);
    context_ = nullptr;
}

std::vector<Ref<TGraphicsMode>> TGLGraphicsDriver::GraphicsModes() {
    std::vector<Ref<TGraphicsMode>> modes;
    for (auto& [width, height, depth, hertz] : native::ListGLDisplayModes(1024)) {
        auto mode = New<TGraphicsMode>();
        mode->width = width;
        mode->height = height;
        mode->depth = depth;
        mode->hertz = hertz;
        modes.push_back(mode);
    }
    return modes;
}

namespace {

const Ref<TGraphicsDriver>& FixedFunctionDriver();

// The driver of a context's profile: the shader driver for a compatibility
// context that could not be had.
const Ref<TGraphicsDriver>& DriverOf(const GLContext* context) {
    return context->profile == GLProfile::Compatibility ? FixedFunctionDriver()
                                                        : GLESGraphicsDriver();
}

Ref<TGraphics> Wrap(GLContext* context) {
    return context ? New<TGLGraphics>(context, DriverOf(context)) : nullptr;
}

} // namespace

// The first profile that can be had at all; a context it cannot make is a
// failure, not a reason to try another.
GLProfile TGLGraphicsDriver::AvailableProfile() const {
    for (GLProfile profile : profiles_)
        if (native::GLProfileAvailable(profile)) return profile;
    return profiles_.front();
}

Ref<TGraphics> TGLGraphicsDriver::AttachGraphics(NativeWidget widget, GraphicsFlags flags) {
    return Wrap(native::AttachGLContext(widget, flags, AvailableProfile()));
}

Ref<TGraphics> TGLGraphicsDriver::CreateGraphics(int width, int height, int depth, int hertz,
                                                 GraphicsFlags flags) {
    GLContext* context = native::CreateGLContext(width, height, depth, hertz, flags, ScaledOnly(),
                                                 AvailableProfile());
    if (context && context->Scaled()) ReportScaled(context);
    return Wrap(context);
}

void TGLGraphicsDriver::SetGraphics(const Ref<TGraphics>& g) {
    auto gl = As<TGLGraphics>(g);
    native::MakeGLContextCurrent(gl ? gl->Context() : nullptr);
}

void TGLGraphicsDriver::Flip(int sync) {
    GLContext* context = native::CurrentGLContext();
    if (!context) return;
    bool intervalTaken = native::SetGLSwapInterval(sync != 0 ? 1 : 0);
    FrameSchedule* pace = sync != 0 ? SoftwarePace(context, intervalTaken) : nullptr;
    native::SwapGLBuffers();
    // After the swap, as a display's wait would be: however long the swap
    // took, the flip returns on the display's beat.
    if (pace) pace->WaitForNextFrame();
}

void TGLGraphicsDriver::ToggleSharedContext() {
    GLContext* current = native::CurrentGLContext();
    native::ToggleGLSharedContext(current ? current->profile : PreferredProfile());
}

GLProfile RequestedGLProfile() {
    static const GLProfile requested = [] {
        const char* asked = std::getenv("ZANDREL_GL");
        std::string_view name = asked ? asked : "";
        if (name == "es") return GLProfile::ES;
        if (name == "core") return GLProfile::Core;
        if (!name.empty() && name != "compat")
            std::fprintf(stderr, "ZANDREL_GL=%s is none of es, core, compat: ignored\n", asked);
        return GLProfile::Compatibility;
    }();
    return requested;
}

namespace {

// Never destroyed: exit handlers that close the graphics still need them
// after the statics made later than them have gone.
const Ref<TGraphicsDriver>& FixedFunctionDriver() {
    // Where no compatibility context can be had, the shader profiles serve.
    static const auto* driver = new Ref<TGraphicsDriver>(New<TGLGraphicsDriver>(
        std::vector{GLProfile::Compatibility, GLProfile::ES, GLProfile::Core}));
    return *driver;
}

} // namespace

const Ref<TGraphicsDriver>& GLESGraphicsDriver() {
    static const auto* driver = new Ref<TGraphicsDriver>(New<TGLGraphicsDriver>(
        RequestedGLProfile() == GLProfile::Core ? std::vector{GLProfile::Core, GLProfile::ES}
                                                : std::vector{GLProfile::ES, GLProfile::Core}));
    return *driver;
}

const Ref<TGraphicsDriver>& GLGraphicsDriver() {
    return RequestedGLProfile() == GLProfile::Compatibility ? FixedFunctionDriver()
                                                            : GLESGraphicsDriver();
}

TGLGraphicsDriver& TheGLGraphicsDriver() {
    return static_cast<TGLGraphicsDriver&>(*GLGraphicsDriver());
}

void SetGLFullScreenScaling(FullScreenScaling scaling) {
    fullScreenScaling = scaling;
}

FullScreenScaling GLFullScreenScaling() {
    return fullScreenScaling;
}

bool PacedInSoftware(const TGLGraphics& g) {
    auto found = displayPacing.find(g.Context());
    return found != displayPacing.end() && found->second.scheduled;
}

Ref<TGraphics> GLGraphics(int width, int height, int depth, int hertz, GraphicsFlags flags) {
    SetGraphicsDriver(GLGraphicsDriver(), GraphicsFlags::BackBuffer);
    return OpenGraphics(width, height, depth, hertz, flags);
}

} // namespace zandrel
