// Image collisions against the plain per-pixel check of the tests (every
// pixel centre of the bounding-box intersection mapped back into both
// pictures), and a game frame's worth of collisions in a layer.
// Prints the ratios to the baselines after the table.
#include "collision_reference.hpp"
#include "ratio_reporter.hpp"

#include <zandrel/zandrel.hpp>

#include <cmath>
#include <random>

using namespace zandrel;
using namespace zandrel::test;

namespace {

Ref<TImage> AlphaImage(int width, int height, int (*alpha)(int x, int y)) {
    auto pixmap = CreatePixmap(width, height, PixelFormat::FormatRGBA8888);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            pixmap->WritePixel(x, y, static_cast<uint32_t>(alpha(x, y)) << 24 | 0xFFFFFFu);
    return TImage::Load(pixmap, ImageFlags::NoFlags, 0, 0, 0);
}

// Two 64 x 64 pictures turned 30 degrees, the second half way along the
// first's x axis. Hit: both opaque. Miss: the overlapping halves are
// transparent, so that the whole overlap has to be looked at.
struct HalfOverlap {
    Placement a, b;

    explicit HalfOverlap(bool hit) {
        auto left = AlphaImage(64, 64, [](int x, int) { return x < 32 ? 255 : 0; });
        auto right = AlphaImage(64, 64, [](int x, int) { return x >= 32 ? 255 : 0; });
        auto opaque = AlphaImage(64, 64, [](int, int) { return 255; });
        double radians = 30 * std::numbers::pi / 180;
        float x2 = 200 + static_cast<float>(32 * std::cos(radians));
        float y2 = 200 + static_cast<float>(32 * std::sin(radians));
        a = {hit ? opaque : left, 200, 200, 0, 30, 1, 1};
        b = {hit ? opaque : right, x2, y2, 0, 30, 1, 1};
    }

    bool Collide() const {
        return ImagesCollideTransformed(a.image, a.x, a.y, a.frame, a.rotation, a.scaleX, a.scaleY,
                                        b.image, b.x, b.y, b.frame, b.rotation, b.scaleX, b.scaleY);
    }
};

void PairCollide(benchmark::State& state, bool hit) {
    HalfOverlap pair(hit);
    if (pair.Collide() != hit) state.SkipWithError("wrong answer");
    for (auto _ : state)
        benchmark::DoNotOptimize(pair.Collide());
}

// The test's check counts every pixel both cover; `limit` 1 stops at the
// first, as a yes-or-no answer may.
void PairReference(benchmark::State& state, bool hit, int limit) {
    HalfOverlap pair(hit);
    for (auto _ : state)
        benchmark::DoNotOptimize(SolidOverlap(pair.a, pair.b, limit) > 0);
}

void CollideHit(benchmark::State& state) {
    PairCollide(state, true);
}
void ReferenceHit(benchmark::State& state) {
    PairReference(state, true, INT32_MAX);
}
void ReferenceHitFirstPixel(benchmark::State& state) {
    PairReference(state, true, 1);
}
void CollideMiss(benchmark::State& state) {
    PairCollide(state, false);
}
void ReferenceMiss(benchmark::State& state) {
    PairReference(state, false, INT32_MAX);
}

// Round 32 x 32 sprites scattered over an 800 x 600 screen: range(0) of them
// are written to a layer, then 100 more are tested against it.
struct Scene {
    static constexpr int Tested = 100;
    Ref<TImage> sprite = AlphaImage(32, 32, [](int x, int y) {
        return std::hypot(x + 0.5 - 16, y + 0.5 - 16) <= 16 ? 255 : 0;
    });
    std::vector<Placement> written, tested;
    std::vector<Ref<Object>> ids;

    explicit Scene(int count) {
        std::mt19937 random(7);
        std::uniform_real_distribution<float> x(0, 800 - 32), y(0, 600 - 32);
        for (int i = 0; i < count + Tested; ++i) {
            auto& list = i < count ? written : tested;
            list.push_back({sprite, x(random), y(random)});
        }
        for (int i = 0; i < count; ++i)
            ids.push_back(New<Object>());
    }
};

void Frame(benchmark::State& state) {
    Scene scene(static_cast<int>(state.range(0)));
    size_t hits = 0;
    for (auto _ : state) {
        ResetCollisions(1);
        for (size_t i = 0; i < scene.written.size(); ++i) {
            const auto& p = scene.written[i];
            CollideImage(p.image, p.x, p.y, 0, 0, 1, scene.ids[i]);
        }
        for (const auto& p : scene.tested)
            hits += CollideImage(p.image, p.x, p.y, 0, 1, 0).size();
    }
    state.counters["hits/frame"] = static_cast<double>(hits) / state.iterations();
}

// The same frame with the plain check for every pair.
void ReferenceFrame(benchmark::State& state) {
    Scene scene(static_cast<int>(state.range(0)));
    size_t hits = 0;
    for (auto _ : state) {
        std::vector<PlacedPicture> layer;
        for (const auto& p : scene.written)
            layer.emplace_back(p);
        for (const auto& p : scene.tested) {
            PlacedPicture probe(p);
            for (const auto& other : layer)
                hits += SolidOverlap(probe, other, 1);
        }
    }
    state.counters["hits/frame"] = static_cast<double>(hits) / state.iterations();
}

void Summary(const RatioReporter& r) {
    std::printf("Time over the per-pixel check's (median of the repetitions):\n");
    r.PrintRatio("CollideHit", "ReferenceHit", "mark <= 0.33");
    r.PrintRatio("CollideHit", "ReferenceHitFirstPixel", "");
    r.PrintRatio("CollideMiss", "ReferenceMiss", "mark <= 0.33");
    std::printf("A frame: N sprites written to a layer, 100 tested against it:\n");
    for (const char* n : {"250", "1000", "4000"}) {
        std::string frame = std::string("Frame/") + n;
        auto t = r.Time(frame);
        std::printf("  N = %-5s %8.1f us real, %8.1f us CPU per frame\n", n, t.real, t.cpu);
        r.PrintRatio(frame, std::string("ReferenceFrame/") + n, "");
    }
    r.PrintRatio("Frame/4000", "Frame/250", "(16 times the sprites)");
}

} // namespace

// Repeated on a machine shared with other work: the medians are compared.
BENCHMARK(CollideHit)->Repetitions(5)->ReportAggregatesOnly();
BENCHMARK(ReferenceHit)->Repetitions(5)->ReportAggregatesOnly();
BENCHMARK(ReferenceHitFirstPixel)->Repetitions(5)->ReportAggregatesOnly();
BENCHMARK(CollideMiss)->Repetitions(5)->ReportAggregatesOnly();
BENCHMARK(ReferenceMiss)->Repetitions(5)->ReportAggregatesOnly();
BENCHMARK(Frame)->Arg(250)->Arg(1000)->Arg(4000)->Repetitions(5)->ReportAggregatesOnly();
BENCHMARK(ReferenceFrame)->Arg(250)->Arg(1000)->Arg(4000)->Repetitions(5)->ReportAggregatesOnly();

int main(int argc, char** argv) {
    StartZandrel();
    benchmark::Initialize(&argc, argv);
    benchmark::SetDefaultTimeUnit(benchmark::kMicrosecond);
    RatioReporter reporter(Summary);
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
