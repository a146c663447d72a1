#include "graphics_parts.hpp"
#include "system/page_turns.hpp"
#include "system/termination.hpp"

#include <chrono>
#include <cstdlib>
#include <optional>

namespace zandrel {

namespace {

struct Settings {
    int width = 0, height = 0, depth = 0, hertz = 0;
    GraphicsFlags flags = GraphicsFlags::NoFlags;
};

struct GraphicsState {
    Ref<TGraphicsDriver> driver;
    GraphicsFlags defaultFlags = GraphicsFlags::NoFlags;
    std::vector<Ref<TGraphicsMode>> modes;
    Ref<TGraphics> current;
    Settings settings;
    Ref<TGraphics> application;
    uint32_t seq = 1;
    int flipHook = -1;
    bool endRegistered = false;
    // Frame times restart with each application context.
    std::optional<std::chrono::steady_clock::time_point> lastFlip;
    float frameSeconds = 0;
};

GraphicsState state;

TGraphicsDriver& CurrentDriver() {
    if (!state.driver) throw RuntimeError("No graphics driver selected: call StartZandrel() first");
    return *state.driver;
}

// The current driver lets go of the current graphics before it is replaced.
void ReleaseCurrent() {
    if (state.driver && state.current) state.driver->SetGraphics(nullptr);
}

void ForgetCurrent() {
    state.current = nullptr;
    state.settings = Settings();
}

const std::vector<Ref<TGraphicsMode>>& CachedModes() {
    if (state.modes.empty()) state.modes = CurrentDriver().GraphicsModes();
    return state.modes;
}

// A driver's run-time error means "no context"; anything else goes on.
template <class Make> Ref<TGraphics> Guarded(Make make) {
    try {
        return make();
    } catch (const RuntimeError&) {
        return nullptr;
    }
}

} // namespace

uint32_t NextGraphicsSeq(uint32_t seq) {
    return seq + 1 == 0 ? 1 : seq + 1;
}

void StartGraphicsObjects() {
    state.flipHook = AllocHookId();
}

String TGraphicsMode::ToString() const {
    return FromInt(width) + S(",") + FromInt(height) + S(",") + FromInt(depth) + S(" ") +
           FromInt(hertz) + S("Hz");
}

Ref<TDataType> TGraphics::DataType() {
    return Driver();
}

String TGraphicsDriver::Name() {
    return S("KVO.Graphics.TGraphics");
}

Ref<Object> TGraphicsDriver::Read(TStream& stream) {
    int width = stream.ReadInt();
    int height = stream.ReadInt();
    int depth = stream.ReadInt();
    int hertz = stream.ReadInt();
    return OpenGraphics(width, height, depth, hertz, GraphicsFlags::NoFlags);
}

void TGraphicsDriver::Write(const Ref<Object>& object, TStream& stream) {
    auto graphics = As<TGraphics>(object);
    if (!graphics) throw RuntimeError("Object is not a graphics context");
    Settings s;
    graphics->GetSettings(s.width, s.height, s.depth, s.hertz, s.flags);
    stream.WriteInt(s.width);
    stream.WriteInt(s.height);
    stream.WriteInt(s.depth);
    stream.WriteInt(s.hertz);
}

void SetGraphicsDriver(const Ref<TGraphicsDriver>& driver, GraphicsFlags defaultFlags) {
    if (driver != state.driver) {
        ReleaseCurrent();
        state.modes.clear();
        state.driver = driver;
    }
    state.defaultFlags = defaultFlags;
    ForgetCurrent();
}

const Ref<TGraphicsDriver>& GraphicsDriver() {
    return state.driver;
}

GraphicsFlags GraphicsDriverFlags() {
    return state.defaultFlags;
}

std::vector<Ref<TGraphicsMode>> ListGraphicsModes() {
    return CachedModes();
}

int CountGraphicsModes() {
    return static_cast<int>(CachedModes().size());
}

void GetGraphicsMode(int index, int& width, int& height, int& depth, int& hertz) {
    auto& modes = CachedModes();
    if (index < 0 || index >= static_cast<int>(modes.size()))
        throw RuntimeError("Graphics mode index out of range");
    auto& mode = *modes[static_cast<size_t>(index)];
    width = mode.width;
    height = mode.height;
    depth = mode.depth;
    hertz = mode.hertz;
}

bool GraphicsModeExists(int width, int height, int depth, int hertz) {
    auto matches = [](int wanted, int value) { return wanted == 0 || wanted == value; };
    for (auto& mode : CachedModes())
        if (matches(width, mode->width) && matches(height, mode->height) &&
            matches(depth, mode->depth) && matches(hertz, mode->hertz))
            return true;
    return false;
}

Ref<TGraphics> AttachGraphics(NativeWidget widget, GraphicsFlags flags) {
    auto& driver = CurrentDriver();
    return Guarded([&] { return driver.AttachGraphics(widget, flags | state.defaultFlags); });
}

Ref<TGraphics> CreateGraphics(int width, int height, int depth, int hertz, GraphicsFlags flags) {
    auto& driver = CurrentDriver();
    SetLoadError({});
    auto g = Guarded([&] {
        return driver.CreateGraphics(width, height, depth, hertz, flags | state.defaultFlags);
    });
    if (g)
        SetLoadError({}); // a profile tried before the one that served may have failed
    else if (LastLoadError().empty())
        SetLoadError(S("the graphics driver gave no context"));
    return g;
}

void SetGraphics(const Ref<TGraphics>& g) {
    if (!g) {
        ReleaseCurrent();
        ForgetCurrent();
        return;
    }
    auto driver = g->Driver();
    if (driver != state.driver) {
        ReleaseCurrent();
        state.modes.clear();
        state.driver = driver;
    }
    auto& s = state.settings;
    g->GetSettings(s.width, s.height, s.depth, s.hertz, s.flags);
    driver->SetGraphics(g);
    state.current = g;
}

const Ref<TGraphics>& CurrentGraphics() {
    return state.current;
}

void CloseGraphics(const Ref<TGraphics>& g) {
    if (!g) return;
    Ref<TGraphics> keep = g; // the caller may have passed a reference that is about to go
    if (keep == state.application) state.application = nullptr;
    if (keep == state.current) SetGraphics(nullptr);
    keep->Close();
}

void EndGraphics() {
    if (!state.application) return;
    state.seq = NextGraphicsSeq(state.seq);
    DisablePolledInput();
    CloseGraphics(state.application);
}

namespace {

bool EnvironmentSays(const char* name) {
    const char* value = std::getenv(name);
    return value && std::string_view(value) == "1";
}

} // namespace

Ref<TGraphics> OpenGraphics(int width, int height, int depth, int hertz, GraphicsFlags flags) {
    EndGraphics();
    auto g = CreateGraphics(width, height, depth, hertz, flags | state.defaultFlags);
    if (!g) return nullptr;
    state.seq = NextGraphicsSeq(state.seq);
    SetGraphics(g);
    StartFramePacing(CurrentDriver(), depth, hertz);
    state.lastFlip.reset();
    state.frameSeconds = 0;
    state.application = g;
    EnablePolledInput(nullptr);
    if (depth != 0 && !EnvironmentSays("ZANDREL_KEEP_POINTER")) MoveMouse(width / 2, height / 2);
    if (!state.endRegistered) {
        state.endRegistered = true;
        AddExitHandler(EndGraphics);
    }
    return g;
}

int GraphicsWidth() {
    return state.settings.width;
}
int GraphicsHeight() {
    return state.settings.height;
}
int GraphicsDepth() {
    return state.settings.depth;
}
int GraphicsHertz() {
    return state.settings.hertz;
}
GraphicsFlags CurrentGraphicsFlags() {
    return state.settings.flags;
}

uint32_t GraphicsSeq() {
    return state.seq;
}

int FlipHook() {
    return state.flipHook;
}

namespace {

// Sent to the driver as Flip(sync) asks, pacing included.
void Present(TGraphicsDriver& driver, FlipSync sync) {
    if (sync != FlipSync::Auto) {
        driver.Flip(sync == FlipSync::VerticalBlank);
        return;
    }
    if (state.current != state.application || !SoftwarePacing()) {
        driver.Flip(state.settings.depth != 0);
        return;
    }
    WaitForNextFrame();
    driver.Flip(false);
}

// On a run's frame clock every frame takes its fixed time.
void MeasureFrameTime() {
    if (int fixed = UnattendedRunOptions().frameMillis; fixed > 0) {
        AdvanceFrameClock();
        state.frameSeconds = static_cast<float>(fixed) / 1000.0f;
        return;
    }
    auto now = std::chrono::steady_clock::now();
    if (state.lastFlip)
        state.frameSeconds = std::chrono::duration<float>(now - *state.lastFlip).count();
    state.lastFlip = now;
}

} // namespace

void Flip(FlipSync sync) {
    EndOnIgnoredTerminationSignal(); // every frame loop passes here, pumping or not
    RunHooks(state.flipHook, nullptr);
    TGraphicsDriver& driver = CurrentDriver();
    driver.Flush(); // the unattended run's screenshot reads the whole frame
    bool last = LastUnattendedFrame();
    Present(driver, sync);
    PassFrameTurn();
    MeasureFrameTime();
    if (last) EndUnattendedRun();
}

float FrameSeconds() {
    return state.frameSeconds;
}

} // namespace zandrel
