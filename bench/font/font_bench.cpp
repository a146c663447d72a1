// Glyph making of the FreeType font against the bare FreeType calls that do
// the same work (load and render each glyph, keep a copy of its bitmap), and
// text drawn with a loaded font against the built-in 8 x 16 font. The text
// benchmarks need a display (Xvfb will do).
#include "ratio_reporter.hpp"

#include <benchmark/benchmark.h>
#include <zandrel/zandrel.hpp>

#include <ft2build.h>
#include FT_FREETYPE_H

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

using namespace zandrel;

namespace {

const std::string DejaVuSans = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";
constexpr int GlyphSize = 24;
constexpr int FirstPrintable = 32, EndPrintable = 127; // the 95 printable ASCII characters

// A new font each round, so that every glyph is made afresh; opening it and
// letting it go are not timed.
void LoadGlyphPrintableAscii(benchmark::State& state) {
    for (auto _ : state) {
        state.PauseTiming();
        auto font = TFreeTypeFont::Load(DejaVuSans, GlyphSize, FontStyle::Plain);
        state.ResumeTiming();
        for (int c = FirstPrintable; c < EndPrintable; ++c)
            benchmark::DoNotOptimize(font->LoadGlyph(font->CharToGlyph(c)));
        state.PauseTiming();
        font.reset();
        state.ResumeTiming();
    }
}

// The same with FreeType alone: a new face each round, each glyph rendered
// and its bitmap copied and kept.
void FreeTypeRenderPrintableAscii(benchmark::State& state) {
    FT_Library library;
    FT_Init_FreeType(&library);
    std::vector<std::vector<uint8_t>> kept(EndPrintable);
    for (auto _ : state) {
        state.PauseTiming();
        FT_Face face;
        FT_New_Face(library, DejaVuSans.c_str(), 0, &face);
        FT_Set_Pixel_Sizes(face, 0, GlyphSize);
        state.ResumeTiming();
        for (int c = FirstPrintable; c < EndPrintable; ++c) {
            FT_Load_Glyph(face, FT_Get_Char_Index(face, static_cast<FT_ULong>(c)), FT_LOAD_RENDER);
            const FT_Bitmap& bitmap = face->glyph->bitmap;
            auto& copy = kept[static_cast<size_t>(c)];
            copy.resize(static_cast<size_t>(bitmap.pitch) * bitmap.rows);
            if (!copy.empty()) std::memcpy(copy.data(), bitmap.buffer, copy.size());
            benchmark::DoNotOptimize(copy.data());
        }
        state.PauseTiming();
        FT_Done_Face(face);
        for (auto& copy : kept)
            std::vector<uint8_t>().swap(copy);
        state.ResumeTiming();
    }
    FT_Done_FreeType(library);
}

constexpr int ScreenWidth = 800, ScreenHeight = 600;
constexpr int Lines = 25, LineLength = 80; // 2000 characters a frame

class Display {
public:
    Display() {
        SetGraphicsDriver(GLVex2DDriver());
        OpenGraphics(ScreenWidth, ScreenHeight, 0, 0);
    }
    ~Display() { EndGraphics(); }
    Display(const Display&) = delete;
    Display& operator=(const Display&) = delete;
};

std::vector<String> TextLines() {
    std::vector<String> lines;
    for (int i = 0; i < Lines; ++i) {
        String line;
        for (int j = 0; j < LineLength; ++j)
            line += static_cast<char16_t>(FirstPrintable + 1 + (i * 7 + j) % 94);
        lines.push_back(line);
    }
    return lines;
}

// One frame per round, ended by a one-pixel read-back so that drawing is
// measured rather than queued; the warm-up frames make every glyph's texture.
void DrawTextFrames(benchmark::State& state, const Url& fontUrl) {
    Display display;
    SetImageFont(fontUrl.Text().empty() ? nullptr : LoadImageFont(fontUrl, 16));
    auto lines = TextLines();
    auto frame = [&] {
        ClearScreen();
        for (int i = 0; i < Lines; ++i)
            DrawText(lines[static_cast<size_t>(i)], 0, static_cast<float>(i * 20));
        benchmark::DoNotOptimize(GrabPixmap(0, 0, 1, 1));
    };
    for (int i = 0; i < 5; ++i)
        frame();
    for (auto _ : state)
        frame();
    SetImageFont(nullptr);
}

void DrawTextDejaVu16(benchmark::State& state) {
    DrawTextFrames(state, DejaVuSans);
}

void DrawTextBuiltIn8x16(benchmark::State& state) {
    DrawTextFrames(state, Url());
}

} // namespace

// Repeated on a machine shared with other work: the medians are compared.
BENCHMARK(FreeTypeRenderPrintableAscii)->Repetitions(5)->MinTime(0.5)->ReportAggregatesOnly();
BENCHMARK(LoadGlyphPrintableAscii)->Repetitions(5)->MinTime(0.5)->ReportAggregatesOnly();
BENCHMARK(DrawTextBuiltIn8x16)->Repetitions(5)->MinTime(0.5)->ReportAggregatesOnly();
BENCHMARK(DrawTextDejaVu16)->Repetitions(5)->MinTime(0.5)->ReportAggregatesOnly();

int main(int argc, char** argv) {
    StartZandrel();
    benchmark::Initialize(&argc, argv);
    benchmark::SetDefaultTimeUnit(benchmark::kMicrosecond);
    RatioReporter reporter([](const RatioReporter& r) {
        std::printf("Median time over the baseline's:\n");
        r.PrintRatio("LoadGlyphPrintableAscii", "FreeTypeRenderPrintableAscii", "mark <= 1.20");
        r.PrintRatio("DrawTextDejaVu16", "DrawTextBuiltIn8x16", "2000 characters a frame");
    });
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
