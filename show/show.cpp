#include "show_state.hpp"

#include <cstdio>

namespace zandrel::show {

namespace {

std::function<void(int)> sceneListener;

void AnnounceScene(int scene) {
    if (sceneListener) sceneListener(scene);
}

} // namespace

void SetSceneListener(std::function<void(int)> listener) {
    sceneListener = std::move(listener);
}

int WrapRadius(int radius) {
    return radius > 500 ? 1 : radius;
}

int GrowRadius(int radius) {
    radius = WrapRadius(radius);
    return radius + radius / 15 + 1;
}

ShowTables BuildShowTables() {
    ShowTables t;
    for (int i = 0; i < driftCount; ++i) {
        t.driftX1[i] = static_cast<float>(RandomRange(800, 0));
        t.driftX2[i] = static_cast<float>(RandomRange(800, 0));
        t.driftX3[i] = static_cast<float>(RandomRange(800, 0));
        t.driftY1[i] = static_cast<float>(RandomRange(600, 0));
        t.driftY2[i] = static_cast<float>(RandomRange(600, 0));
        t.driftY3[i] = static_cast<float>(RandomRange(600, 0));
    }
    for (int i = 0; i < swarmCount; ++i) {
        t.swarmAngle[i] = static_cast<int>(RandomRange(359, 0));
        t.swarmRadius[i] = static_cast<int>(RandomRange(500, 0));
        t.swarmSpin[i] = static_cast<int>(RandomRange(359, 0));
        t.swarmRadius[i] = GrowRadius(t.swarmRadius[i]);
    }
    return t;
}

void ShowClock::Start() {
    startMillis_ = Millisecs();
}

// Counting from the start's own second boundary through the wrapping
// difference gives the same whole seconds as dividing both counts by 1000,
// without the jump where the signed count wraps.
float ShowClock::Elapsed() const {
    uint32_t since = static_cast<uint32_t>(Millisecs()) - static_cast<uint32_t>(startMillis_);
    int64_t intoFirstSecond = ((startMillis_ % 1000) + 1000) % 1000;
    return static_cast<float>((intoFirstSecond + since) / 1000);
}

namespace {

// One line on standard error for the failures a user can mend.
bool Refuse(const std::string& what) {
    std::fprintf(stderr, "zandrel-show: %s\n", what.c_str());
    return false;
}

bool LoadPicture(Ref<TImage>& image, const char* file, ImageFlags flags, std::string& missing) {
    image = LoadImage(file, flags);
    if (!image && missing.empty()) missing = file;
    return static_cast<bool>(image);
}

// The files in the order the show loads them; the first that fails is named.
std::string LoadMedia(ShowMedia& m) {
    std::string missing;
    // Streamed: the 163 s track would be 28 MB decoded before the first frame.
    m.music = StreamSound("diskox.ogg");
    if (!m.music) missing = "diskox.ogg";
    LoadPicture(m.saippua, "saippua.jpg", ImageFlags::Masked, missing);
    LoadPicture(m.blow, "blow.png", ImageFlags::Masked, missing);
    LoadPicture(m.seta, "seta.png", ImageFlags::Masked, missing);
    LoadPicture(m.seta2, "seta2.png", ImageFlags::Masked, missing);
    LoadPicture(m.ost, "ost.png", ImageFlags::Masked, missing);
    LoadPicture(m.soaps, "soaps.jpg", ImageFlags::Masked, missing);
    LoadPicture(m.ilove, "ilove.png", ImageFlags::Masked, missing);
    LoadPicture(m.ilove2, "ilove2.png", ImageFlags::Masked, missing);
    LoadPicture(m.vurn, "vurn.jpg", ImageFlags::Dynamic, missing);
    LoadPicture(m.brenti, "brenti.png", ImageFlags::Masked, missing);
    LoadPicture(m.thend, "thend.jpg", ImageFlags::Dynamic, missing);
    return missing;
}

void RecomputeElapsed(ShowState& s) {
    s.elapsed = s.clock.Elapsed();
}

void LeadIn(ShowState& s) {
    AnnounceScene(0);
    while (s.elapsed < leadInEnd) {
        RecomputeElapsed(s);
        ClearScreen();
        Flip(FlipSync::Auto);
    }
}

void RunScene(ShowState& s, int number, const Scene& scene) {
    scene.enter(s);
    AnnounceScene(number);
    while (!(s.elapsed >= scene.mark)) {
        RecomputeElapsed(s);
        scene.frame(s);
        Flip(FlipSync::Auto);
        ClearScreen();
    }
    if (scene.leave) scene.leave(s);
}

// Opens the display; false when the driver cannot give it.
bool OpenDisplay() {
    SetGraphicsDriver(GLVex2DDriver(), GraphicsFlags::BackBuffer);
    try {
        if (!OpenGraphics(800, 600, 16, 0, GraphicsFlags::NoFlags)) return false;
    } catch (const RuntimeError&) {
        return false;
    }
    return true;
}

// A run after another must not inherit the last scene's colours, blend and
// transform.
void ResetRenderState() {
    SetBlendMode(BlendMode::Mask);
    SetAlpha(1);
    SetTransform(0, 1, 1);
    SetClearColor(0, 0, 0);
    SetColor(255, 255, 255);
}

} // namespace

bool PrepareShow(ShowMedia& media) {
    StartZandrel();
    if (!OpenDisplay())
        return Refuse("unable to open the 800 x 600 display" +
                      (LastLoadError().empty() ? "" : ": " + ToUtf8(LastLoadError())));
    InitFeedback(800, 600);
    HideMouse();
    std::string missing = LoadMedia(media);
    if (!missing.empty()) return Refuse("unable to load " + missing);
    return true;
}

void RunTimeline(const ShowMedia& media) {
    ShowState s;
    s.media = media;
    s.tables = BuildShowTables();
    ResetRenderState();
    Ref<TChannel> music = PlaySound(media.music, nullptr);
    s.clock.Start();
    LeadIn(s);
    const auto& scenes = Scenes();
    for (size_t k = 0; k < scenes.size(); ++k)
        RunScene(s, static_cast<int>(k + 1), scenes[k]);
    if (music) StopChannel(music);
}

int RunShow() {
    static bool ran = false;
    if (ran) return 0;
    ran = true;
    ShowMedia media;
    if (!PrepareShow(media)) return 1;
    RunTimeline(media);
    ExitProgram();
}

} // namespace zandrel::show
