// The show's feedback effects, frame by frame, as its heavy scenes run them:
// on the shader 2D driver against the fixed-function driver in the same run.
// Each frame draws a picture, runs the effects and reads one pixel back, so
// that rendering is measured, not queuing. Needs a display (Xvfb will do).
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
};

// The effects of the scenes that draw them most, with the scenes' arguments.
const SceneEffects sceneEffects[] = {
    {"Zoom8", [] { show::FeedbackZoom(0.15f, 0.1f, 0.1f, 0.04f, 2.0f); }},
    {"Blur10",
     [] {
         show::FeedbackBlur();
         show::FeedbackBlur();
         show::FeedbackThumbnails(0, 0, 1.0f, 0.6f);
     }},
    {"Zoom11", [] { show::FeedbackZoom(0.05f, 0.05f, 0.05f, 0.01f, 1.0f); }},
    {"ZoomTiles14",
     [] {
         show::FeedbackZoom(0.05f, 0.05f, 0.05f, 0.01f, 1.0f);
         show::FeedbackTiles(4);
     }},
    {"Tiles1", [] { show::FeedbackTiles(1); }},
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
     }},
    {"Picture", [] {}},
};

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

void Effects(benchmark::State& state, const Ref<TVex2DDriver>& driver, const SceneEffects& scene) {
    SetGraphicsDriver(driver);
    if (!OpenGraphics(ScreenWidth, ScreenHeight)) {
        state.SkipWithError("no display");
        return;
    }
    show::InitFeedback(ScreenWidth, ScreenHeight);
    float turn = 0;
    auto frame = [&] {
        DrawPicture(turn += 1);
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

// The scene's effects on one driver, named by the driver's prefix.
void Register(const char* prefix, const Ref<TVex2DDriver>& (*driver)(), const SceneEffects& scene) {
    benchmark::RegisterBenchmark(
        (std::string(prefix) + scene.name).c_str(),
        [driver, &scene](benchmark::State& state) { Effects(state, driver(), scene); })
        ->Unit(benchmark::kMillisecond)
        ->MeasureProcessCPUTime()
        ->UseRealTime();
}

void RegisterAll() {
    for (const SceneEffects& scene : sceneEffects) {
        Register("Fixed", FixedFunction2DDriver, scene);
        Register("Shader", GLES2DDriver, scene);
    }
}

} // namespace

int main(int argc, char** argv) {
    StartZandrel();
    benchmark::Initialize(&argc, argv);
    RegisterAll();
    RunBenchmarksWithRatios([](const RatioReporter& r) {
        for (const SceneEffects& scene : sceneEffects)
            r.PrintRatio(std::string("Shader") + scene.name, std::string("Fixed") + scene.name,
                         "mark <= 1.00");
    });
    return 0;
}
