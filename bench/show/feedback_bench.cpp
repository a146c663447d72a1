// The show's feedback effects, frame by frame, as its heavy scenes run them,
// each against bare passes of its own count drawn in the same run: that
// many full-screen, filtered, added copies of an 800 x 600 picture, the
// least the effect's passes can cost. On both 2D drivers. Each frame draws
// a picture, runs the effects and reads one pixel back, so that rendering is
// measured, not queuing. Needs a display (Xvfb will do).
#include <benchmark/benchmark.h>
#include <zandrel/zandrel.hpp>

#include "ratio_reporter.hpp"
#include "show.hpp"
#include "vex2d/gl_vex2d.hpp"

#include <cstdio>

using namespace zandrel;

namespace {

constexpr int ScreenWidth = 800;
constexpr int ScreenHeight = 600;

struct SceneEffects {
    const char* name;
    void (*run)();
    int passes; // full-screen passes of the effects; 0 for none
};

// The effects of the scenes that draw them most, with the scenes' arguments.
const SceneEffects sceneEffects[] = {
    {"Zoom8", [] { show::FeedbackZoom(0.15f, 0.1f, 0.1f, 0.04f, 2.0f); }, 15},
    {"Blur10",
     [] {
         show::FeedbackBlur();
         show::FeedbackBlur();
         show::FeedbackThumbnails(0, 0, 1.0f, 0.6f);
     },
     16},
    {"Zoom11", [] { show::FeedbackZoom(0.05f, 0.05f, 0.05f, 0.01f, 1.0f); }, 15},
    {"ZoomTiles14",
     [] {
         show::FeedbackZoom(0.05f, 0.05f, 0.05f, 0.01f, 1.0f);
         show::FeedbackTiles(4);
     },
     16},
    {"Tiles1", [] { show::FeedbackTiles(1); }, 1},
    {"Mirror5", [] { show::FeedbackMirror(0, 1.0f); }, 1},
    // The burst's 350 translucent ovals, without its blurs.
    {"Ovals10",
     [] {
         SetBlendMode(BlendMode::Light);
         SetAlpha(0.5f);
         SetColor(55, 155, 255);
         for (int i = 0; i < 350; ++i) {
             float size = static_cast<float>(10 + (i * 37) % 110);
             DrawOval(static_cast<float>((i * 73) % 800), static_cast<float>((i * 151) % 600), size,
                      size);
         }
         SetAlpha(1);
     },
     0},
    {"Picture", [] {}, 0},
};

// The bare passes: an 800 x 600 filtered picture drawn over the whole
// screen, added, `count` times.
void BarePasses(const Ref<TImage>& picture, int count) {
    SetBlendMode(BlendMode::Light);
    SetColor(13, 13, 13);
    for (int i = 0; i < count; ++i)
        DrawImage(picture, 0, 0);
    SetColor(255, 255, 255);
}

Ref<TImage> BarePicture() {
    auto picture = CreateImage(ScreenWidth, ScreenHeight, 1, ImageFlags::Filtered);
    const auto& pixels = LockImage(picture);
    for (int y = 0; y < ScreenHeight; ++y)
        for (int x = 0; x < ScreenWidth; ++x)
            pixels->WritePixel(x, y, 0xff000000u | static_cast<uint32_t>(x % 256 * 0x10101));
    UnlockImage(picture);
    SetImageHandle(picture, 0, 0);
    return picture;
}

// Coloured bands and a turning square, so that every pass has something to add.
void DrawPicture(float turn) {
    SetClearColor(210, 115, 50);
    ClearScreen();
    SetBlendMode(BlendMode::Alpha);
    SetAlpha(0.8f);
    for (int band = 0; band < 8; ++band) {
        SetColor(40 * band, 255 - 30 * band, 120);
        DrawRect(0, static_cast<float>(band * 75), ScreenWidth, 40);
    }
    SetColor(255, 255, 255);
    SetRotation(turn);
    DrawRect(400, 300, 200, 200);
    SetRotation(0);
    SetAlpha(1);
}

// The scene's effects, or with `bare` its count of bare passes.
void Effects(benchmark::State& state, const Ref<TVex2DDriver>& driver, const SceneEffects& scene,
             bool bare) {
    SetGraphicsDriver(driver);
    if (!OpenGraphics(ScreenWidth, ScreenHeight)) {
        state.SkipWithError("no display");
        return;
    }
    show::InitFeedback(ScreenWidth, ScreenHeight);
    Ref<TImage> picture = BarePicture();
    float turn = 0;
    auto frame = [&] {
        DrawPicture(turn += 1);
        if (bare)
            BarePasses(picture, scene.passes);
        else
            scene.run();
        benchmark::DoNotOptimize(GrabPixmap(0, 0, 1, 1));
    };
    // The software rasteriser builds its code for a state on first use.
    for (int i = 0; i < 10; ++i)
        frame();
    for (auto _ : state)
        frame();
    EndGraphics();
}

std::string Name(const char* prefix, const SceneEffects& scene, bool bare) {
    return std::string(prefix) + scene.name + (bare ? "Bare" : "");
}

// The scene's effects on one driver, named by the driver's prefix, or its
// bare passes, named with "Bare" after.
void Register(const char* prefix, const Ref<TVex2DDriver>& (*driver)(), const SceneEffects& scene,
              bool bare) {
    benchmark::RegisterBenchmark(
        Name(prefix, scene, bare).c_str(),
        [driver, &scene, bare](benchmark::State& state) { Effects(state, driver(), scene, bare); })
        ->Unit(benchmark::kMillisecond)
        ->MeasureProcessCPUTime()
        ->UseRealTime();
}

const char* const prefixes[] = {"Fixed", "Shader"};

void RegisterAll() {
    for (const SceneEffects& scene : sceneEffects)
        for (bool bare : {false, true}) {
            if (bare && scene.passes == 0) continue;
            Register(prefixes[0], FixedFunction2DDriver, scene, bare);
            Register(prefixes[1], GLES2DDriver, scene, bare);
        }
}

} // namespace

int main(int argc, char** argv) {
    StartZandrel();
    benchmark::Initialize(&argc, argv);
    RegisterAll();
    RunBenchmarksWithRatios([](const RatioReporter& r) {
        for (const SceneEffects& scene : sceneEffects) {
            if (scene.passes == 0) continue;
            for (const char* prefix : prefixes)
                r.PrintRatio(Name(prefix, scene, false), Name(prefix, scene, true), "mark <= 1.10");
        }
        for (const SceneEffects& scene : sceneEffects)
            r.PrintRatio(Name(prefixes[1], scene, false), Name(prefixes[0], scene, false),
                         "shader / fixed");
    });
    return 0;
}
