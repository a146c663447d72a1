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

// One line on standard error and exit code 1, for the failures a user can mend.
int Refuse(const std::string& what) {
    std::fprintf(stderr, "zandrel-show: %s\n", what.c_str());
    return 1;
}

bool LoadPicture(Ref<TImage>& image, const char* file, ImageFlags flags, std::string& missing) {
    image = LoadImage(file, flags);
    if (!image && missing.empty()) missing = file;
    return static_cast<bool>(image);
}

// The files in the order the show loads them; the first that fails is named.
std::string LoadResources(ShowState& s) {
    std::string missing;
    s.music = LoadSound("diskox.ogg");
    if (!s.music) missing = "diskox.ogg";
    Pictures& p = s.pictures;
    LoadPicture(p.saippua, "saippua.jpg", ImageFlags::Masked, missing);
    LoadPicture(p.blow, "blow.png", ImageFlags::Masked, missing);
    LoadPicture(p.seta, "seta.png", ImageFlags::Masked, missing);
    LoadPicture(p.seta2, "seta2.png", ImageFlags::Masked, missing);
    LoadPicture(p.ost, "ost.png", ImageFlags::Masked, missing);
    LoadPicture(p.soaps, "soaps.jpg", ImageFlags::Masked, missing);
    LoadPicture(p.ilove, "ilove.png", ImageFlags::Masked, missing);
    LoadPicture(p.ilove2, "ilove2.png", ImageFlags::Masked, missing);
    LoadPicture(p.vurn, "vurn.jpg", ImageFlags::Dynamic, missing);
    LoadPicture(p.brenti, "brenti.png", ImageFlags::Masked, missing);
    LoadPicture(p.thend, "thend.jpg", ImageFlags::Dynamic, missing);
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

} // namespace

int RunShow() {
    static bool ran = false;
    if (ran) return 0;
    ran = true;
    StartZandrel();
    if (!OpenDisplay()) return Refuse("unable to open the 800 x 600 display");
    InitFeedback(800, 600);
    HideMouse();

    static ShowState s;
    std::string missing = LoadResources(s);
    if (!missing.empty()) return Refuse("unable to load " + missing);
    s.tables = BuildShowTables();
    PlaySound(s.music, nullptr);
    s.clock.Start();
    SetClearColor(0, 0, 0);
    SetColor(255, 255, 255);

    LeadIn(s);
    const auto& scenes = Scenes();
    for (size_t k = 0; k < scenes.size(); ++k)
        RunScene(s, static_cast<int>(k + 1), scenes[k]);
    ExitProgram();
    return 0;
}

} // namespace zandrel::show
