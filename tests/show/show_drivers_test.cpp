// The show captured on its virtual clock by the fixed-function drivers and by
// the shader drivers (ZANDREL_GL=es): frames at the same virtual time agree.
// ZANDREL_COMPARE_CAPTURES="<fixed folder> <shader folder>" compares two
// captures made beforehand instead, for denser runs than a test can afford.
#include "capture_support.hpp"
#include "test_support.hpp"

#include <gtest/gtest.h>
#include <zandrel/pixmap.hpp>
#include <zandrel/stream.hpp>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <sstream>

using namespace zandrel;

namespace {

constexpr int Tolerance = 2;            // per channel
constexpr double LeastAgreeing = 0.995; // of a frame's pixels

struct Agreement {
    double within = 1; // share of pixels with every channel within the tolerance
    int largest = 0;   // largest difference of a channel
};

Agreement Compare(const Ref<TPixmap>& a, const Ref<TPixmap>& b) {
    Agreement result;
    long long near = 0;
    for (int y = 0; y < a->Height(); ++y)
        for (int x = 0; x < a->Width(); ++x) {
            uint32_t p = a->ReadPixel(x, y), q = b->ReadPixel(x, y);
            int worst = 0;
            for (int shift : {0, 8, 16})
                worst = std::max(worst, std::abs(int(p >> shift & 255) - int(q >> shift & 255)));
            near += worst <= Tolerance;
            result.largest = std::max(result.largest, worst);
        }
    result.within = static_cast<double>(near) / (double(a->Width()) * a->Height());
    return result;
}

// The scene each frame belongs to, from the capture's table.
std::vector<std::pair<int, int>> SceneStarts(const std::string& folder) {
    std::vector<std::pair<int, int>> starts; // first frame, scene
    auto csv = OpenReadStream(folder + "/scenes.csv");
    if (!csv) return starts;
    csv->ReadLine();
    while (!csv->Eof()) {
        int scene = 0, started = 0, frames = 0, first = -1;
        if (std::sscanf(ToBytes(csv->ReadLine()).c_str(), "%d,%d,%d,%d", &scene, &started, &frames,
                        &first) == 4 &&
            frames > 0)
            starts.emplace_back(first, scene);
    }
    std::sort(starts.begin(), starts.end());
    return starts;
}

int SceneOf(const std::vector<std::pair<int, int>>& starts, int frame) {
    int scene = 0;
    for (auto [first, number] : starts)
        if (first <= frame) scene = number;
    return scene;
}

// Worst agreement per scene over the frames both captures wrote.
std::map<int, std::pair<Agreement, int>> CompareCaptures(const std::string& fixed,
                                                         const std::string& shader) {
    std::map<int, std::pair<Agreement, int>> scenes; // worst, frames compared
    auto starts = SceneStarts(fixed);
    for (const String& entry : ListFolder(FromBytes(fixed + "/frames"))) {
        std::string name = ToBytes(entry);
        auto a = LoadPixmap(fixed + "/frames/" + name), b = LoadPixmap(shader + "/frames/" + name);
        if (!a) continue;
        EXPECT_TRUE(b) << name << " is missing from " << shader;
        if (!b) continue;
        Agreement found = Compare(a, b);
        auto& [worst, count] = scenes[SceneOf(starts, std::atoi(name.c_str()))];
        worst.within = count ? std::min(worst.within, found.within) : found.within;
        worst.largest = std::max(worst.largest, found.largest);
        ++count;
        EXPECT_GE(found.within, LeastAgreeing) << name;
    }
    return scenes;
}

} // namespace

// Every few seconds of the show, every scene reached, on both drivers.
TEST(ShowDrivers, FramesAgreeAtTheSameVirtualTime) {
    test::TempFolder folder;
    std::string fixed = folder / "fixed", shader = folder / "shader";
    if (const char* given = std::getenv("ZANDREL_COMPARE_CAPTURES")) {
        std::istringstream(given) >> fixed >> shader;
    } else {
        const char* options = "--no-audio --frame-ms 1000 --every 6";
        setenv("ZANDREL_GL", "compat", 1);
        ASSERT_EQ(test::RunCapture(fixed, options).exitCode, 0);
        setenv("ZANDREL_GL", "es", 1);
        ASSERT_EQ(test::RunCapture(shader, options).exitCode, 0);
        unsetenv("ZANDREL_GL");
    }
    auto scenes = CompareCaptures(fixed, shader);
    EXPECT_GE(scenes.size(), 10u);
    std::printf("scene  frames  worst share within %d  largest difference\n", Tolerance);
    for (const auto& [scene, result] : scenes)
        std::printf("%5d  %6d  %21.4f%%  %18d\n", scene, result.second, 100 * result.first.within,
                    result.first.largest);
}
