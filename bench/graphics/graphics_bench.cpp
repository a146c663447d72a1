// Frame pacing of Flip(FlipSync::Auto) in a window against a plain sleep-per-frame loop;
// the cost of an idle pump against SDL's own event poll; and the cost of an
// 800 x 600 full screen shown scaled (the way the renderer picks, and each
// way forced) against a real 800 x 600 flip and a native flip at the
// display's own size. Run the
// last under a display larger than 800 x 600, as the figures it gives are for
// one: xvfb-run -s "-screen 0 1920x1080x24" build/bench/graphics/bench_graphics
#include "graphics/gl_context.hpp"
#include "ratio_reporter.hpp"

#include <benchmark/benchmark.h>
#include <zandrel/zandrel.hpp>

#include <GL/gl.h>
#include <SDL.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <map>
#include <thread>
#include <vector>

using namespace zandrel;

namespace {

constexpr int Flips = 600;
constexpr int Hertz = 60;

struct Intervals {
    std::vector<int> ms;
    int Total() const {
        int sum = 0;
        for (int value : ms)
            sum += value;
        return sum;
    }
};

template <class FlipOnce> Intervals TimeFlips(FlipOnce flip) {
    Intervals intervals;
    int last = Millisecs();
    for (int i = 0; i < Flips; ++i) {
        flip();
        int now = Millisecs();
        intervals.ms.push_back(now - last);
        last = now;
    }
    return intervals;
}

void Report(benchmark::State& state, const Intervals& intervals) {
    auto [shortest, longest] = std::minmax_element(intervals.ms.begin(), intervals.ms.end());
    state.counters["total_ms"] = intervals.Total();
    state.counters["total_vs_10000"] = intervals.Total() / 10000.0;
    state.counters["min_ms"] = *shortest;
    state.counters["max_ms"] = *longest;
    std::map<int, int> histogram;
    for (int value : intervals.ms)
        ++histogram[value];
    std::string text;
    for (auto [ms, count] : histogram)
        text += std::to_string(ms) + "ms:" + std::to_string(count) + " ";
    state.SetLabel(text);
}

// Times 600 flips of a 320 x 240 window opened at `hertz` as one iteration.
template <class FlipOnce> void BenchFlips(benchmark::State& state, int hertz, FlipOnce flip) {
    GLGraphics(320, 240, 0, hertz);
    Flip(FlipSync::Immediate);
    Intervals intervals;
    for (auto _ : state) {
        auto start = std::chrono::steady_clock::now();
        intervals = TimeFlips(flip);
        state.SetIterationTime(
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    }
    Report(state, intervals);
    EndGraphics();
}

// The pacing under test: Flip(FlipSync::Auto) of a 60 Hz windowed context.
void PacedFlips(benchmark::State& state) {
    BenchFlips(state, Hertz, [] { Flip(); });
}

// The baseline: the same swaps with a relative sleep of a whole period each.
void SleepPerFrameFlips(benchmark::State& state) {
    BenchFlips(state, 0, [] {
        std::this_thread::sleep_for(std::chrono::microseconds(1000000 / Hertz));
        Flip(FlipSync::Immediate);
    });
}

void IdlePollSystemEvents(benchmark::State& state) {
    GLGraphics(320, 240);
    for (auto _ : state)
        PollSystemEvents();
    EndGraphics();
}

void IdleSdlPollEvent(benchmark::State& state) {
    GLGraphics(320, 240);
    SDL_Event event;
    for (auto _ : state)
        benchmark::DoNotOptimize(SDL_PollEvent(&event));
    EndGraphics();
}

// One frame: a clear, a flip without waiting for the display, and the GL
// finished, so that the flip's work is measured rather than queued.
void FlipFrames(benchmark::State& state, int width, int height, int depth) {
    if (!GLGraphics(width, height, depth)) {
        state.SkipWithError("no context of that size");
        return;
    }
    int shownWidth = 0, shownHeight = 0;
    SDL_GetWindowSize(native::CurrentGLContext()->window, &shownWidth, &shownHeight);
    for (auto _ : state) {
        glClearColor(0.2f, 0.4f, 0.6f, 1);
        glClear(GL_COLOR_BUFFER_BIT);
        Flip(FlipSync::Immediate);
        glFinish();
    }
    state.SetLabel(std::to_string(shownWidth) + " x " + std::to_string(shownHeight));
    EndGraphics();
}

// The real 800 x 600 flip: a window of that size, whose picture is swapped as it is.
void RealFlip800x600(benchmark::State& state) {
    FlipFrames(state, 800, 600, 0);
}

// Full screen shown scaled on the display, the way `path` says.
void ScaledFlips(benchmark::State& state, native::ScaledPresentPath path) {
    SetGLFullScreenScaling(FullScreenScaling::Always);
    native::SetScaledPresentPath(path);
    FlipFrames(state, 800, 600, 32);
    native::SetScaledPresentPath(native::ScaledPresentPath::ByRenderer);
    SetGLFullScreenScaling(FullScreenScaling::WhenNeeded);
}

void ScaledFlip800x600(benchmark::State& state) {
    ScaledFlips(state, native::ScaledPresentPath::ByRenderer);
}
void ScaledFlipThroughGL(benchmark::State& state) {
    ScaledFlips(state, native::ScaledPresentPath::Gpu);
}
void ScaledFlipByProcessor(benchmark::State& state) {
    ScaledFlips(state, native::ScaledPresentPath::Software);
}

// Full screen in the display's own mode: what swapping a picture of that size
// costs without any scaling, to tell the swap from the blit.
void DesktopFlip(benchmark::State& state) {
    SDL_DisplayMode desktop{};
    if (SDL_GetDesktopDisplayMode(0, &desktop) != 0) {
        state.SkipWithError(SDL_GetError());
        return;
    }
    FlipFrames(state, desktop.w, desktop.h, 32);
}

} // namespace

BENCHMARK(RealFlip800x600)->Repetitions(5)->ReportAggregatesOnly()->Unit(benchmark::kMillisecond);
BENCHMARK(ScaledFlip800x600)->Repetitions(5)->ReportAggregatesOnly()->Unit(benchmark::kMillisecond);
BENCHMARK(ScaledFlipThroughGL)
    ->Repetitions(5)
    ->ReportAggregatesOnly()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(ScaledFlipByProcessor)
    ->Repetitions(5)
    ->ReportAggregatesOnly()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(DesktopFlip)->Repetitions(5)->ReportAggregatesOnly()->Unit(benchmark::kMillisecond);
BENCHMARK(PacedFlips)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(SleepPerFrameFlips)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(IdlePollSystemEvents)->Unit(benchmark::kMicrosecond);
BENCHMARK(IdleSdlPollEvent)->Unit(benchmark::kMicrosecond);

int main(int argc, char** argv) {
    StartZandrel();
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter([](const RatioReporter& r) {
        for (const char* name : {"RealFlip800x600", "ScaledFlip800x600", "ScaledFlipThroughGL",
                                 "ScaledFlipByProcessor", "DesktopFlip"})
            std::printf("%-22s %.3f ms per flip\n", name, r.Time(name).real);
        r.PrintRatio("ScaledFlip800x600", "RealFlip800x600", "the cost of showing it scaled");
        r.PrintRatio("ScaledFlip800x600", "DesktopFlip", "the scaled present beside a native flip");
        r.PrintRatio("ScaledFlipThroughGL", "DesktopFlip", "scaled through GL beside it");
        r.PrintRatio("ScaledFlipByProcessor", "DesktopFlip", "scaled by the processor beside it");
    });
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
