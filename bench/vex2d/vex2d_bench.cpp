// Sprite throughput of the OpenGL 2D driver and of the shader 2D driver
// (OpenGL ES 3.0, batched) against the same rotated, alpha-blended quads
// issued as raw immediate-mode OpenGL, as one raw vertex array, and through
// SDL2's own renderer (OpenGL backend, batching on); the same sprites drawn
// into a render target that is then drawn once, against drawing them
// straight to the screen; and
// the cost of making a frame of an 800 x 600 picture against a raw upload of
// its texture. Each frame ends with a one-pixel read-back, so that rendering
// is measured, not queuing; the sprites' CPU column is the processor time a
// frame costs in all threads, the software rasteriser's included. Needs a
// display (Xvfb will do).
#include <benchmark/benchmark.h>
#include <zandrel/zandrel.hpp>

#include "ratio_reporter.hpp"
#include "vex2d/gles_vex2d.hpp"

#include <GL/gl.h>
#include <SDL.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

using namespace zandrel;

namespace {

constexpr int ScreenWidth = 800;
constexpr int ScreenHeight = 600;
constexpr int MostSprites = 20000;
constexpr float SpriteAlpha = 0.75f;

struct Sprite {
    float x, y, angle;
};

// The same scattered sprites for every contender, as many as the
// benchmark's second argument asks for.
const std::vector<Sprite>& AllSprites() {
    static std::vector<Sprite> sprites = [] {
        std::vector<Sprite> list;
        uint32_t seed = 12345;
        auto next = [&seed](int range) {
            seed = seed * 1103515245u + 12345u;
            return static_cast<float>((seed >> 8) % static_cast<uint32_t>(range));
        };
        for (int i = 0; i < MostSprites; ++i)
            list.push_back({next(ScreenWidth), next(ScreenHeight), next(360)});
        return list;
    }();
    return sprites;
}

struct SpriteRange {
    const Sprite* first;
    const Sprite* last;
    const Sprite* begin() const { return first; }
    const Sprite* end() const { return last; }
};

SpriteRange Sprites(const benchmark::State& state) {
    const Sprite* first = AllSprites().data();
    return {first, first + state.range(1)};
}

// A disc of colour with soft alpha, so that blending has work to do.
Ref<TPixmap> SpritePixmap(int side) {
    auto pixmap = CreatePixmap(side, side, PixelFormat::FormatRGBA8888);
    float centre = static_cast<float>(side) * 0.5f;
    for (int y = 0; y < side; ++y)
        for (int x = 0; x < side; ++x) {
            float d = std::hypot(static_cast<float>(x) + 0.5f - centre,
                                 static_cast<float>(y) + 0.5f - centre) /
                      centre;
            auto alpha = static_cast<uint32_t>(255 * std::fmax(0.0f, 1.0f - d));
            pixmap->WritePixel(x, y, (alpha << 24) | (0xFF8040u + static_cast<uint32_t>(x * 4)));
        }
    return pixmap;
}

void ReadOnePixel() {
    uint8_t rgba[4];
    glReadPixels(0, 0, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, rgba);
    benchmark::DoNotOptimize(rgba);
}

// One frame per iteration, each turned a degree further. The software
// rasteriser builds its code for a state on first use: the warm-up frames
// keep that out of the measurement.
template <class Frame> void RunFrames(benchmark::State& state, Frame& frame) {
    for (int i = 0; i < 20; ++i)
        frame(0.0f);
    float turn = 0;
    for (auto _ : state)
        frame(turn += 1);
    state.counters["frames/s"] =
        benchmark::Counter(1, benchmark::Counter::kIsIterationInvariantRate);
}

// An 800 x 600 window of the 2D driver, or the full screen when
// ZANDREL_FULLSCREEN is set (=scaled: shown scaled); made afresh for each
// benchmark, because SDL's renderer makes its own context current behind the driver.
class Display {
public:
    explicit Display(const Ref<TVex2DDriver>& driver = GLVex2DDriver()) {
        SetGraphicsDriver(driver);
        OpenGraphics(ScreenWidth, ScreenHeight, std::getenv("ZANDREL_FULLSCREEN") ? 32 : 0, 0);
    }
    ~Display() { EndGraphics(); }
    Display(const Display&) = delete;
    Display& operator=(const Display&) = delete;
};

// With `viaTarget`, the sprites are drawn into an image of the screen's
// size, which is then drawn once onto the screen.
template <class Flush>
void DriverSprites(benchmark::State& state, const Ref<TVex2DDriver>& driver, Flush flush,
                   bool viaTarget = false) {
    Display display(driver);
    auto image = LoadImage(SpritePixmap(static_cast<int>(state.range(0))), ImageFlags::NoFlags);
    CentreImageHandle(image);
    auto target =
        viaTarget ? CreateImage(ScreenWidth, ScreenHeight, 1, ImageFlags::NoFlags) : nullptr;
    auto frame = [&](float turn) {
        if (target) SetRenderTarget(target);
        ClearScreen();
        SetBlendMode(BlendMode::Alpha);
        SetAlpha(SpriteAlpha);
        for (const Sprite& s : Sprites(state)) {
            SetRotation(s.angle + turn);
            DrawImage(image, s.x, s.y);
        }
        if (target) {
            SetRenderTarget(nullptr);
            SetRotation(0);
            SetBlendMode(BlendMode::Solid);
            SetAlpha(1);
            DrawImage(target, 0, 0);
        }
        flush();
        ReadOnePixel();
    };
    RunFrames(state, frame);
}

// The fixed-function driver, whatever ZANDREL_GL asks for.
void FrameworkSprites(benchmark::State& state) {
    DriverSprites(state, FixedFunction2DDriver(), [] {});
}

void FrameworkSpritesViaTarget(benchmark::State& state) {
    DriverSprites(
        state, FixedFunction2DDriver(), [] {}, true);
}

void ShaderSpritesViaTarget(benchmark::State& state) {
    DriverSprites(
        state, GLES2DDriver(), [] { FlushDrawing(); }, true);
}

// The shader driver; the draw calls of its last frame are reported.
void ShaderSprites(benchmark::State& state) {
    auto& driver = TheGLES2DDriver();
    int total = 0, lastFrame = 0;
    DriverSprites(state, GLES2DDriver(), [&] {
        FlushDrawing();
        lastFrame = driver.DrawCallsSoFar() - total;
        total = driver.DrawCallsSoFar();
    });
    state.counters["draws/frame"] = lastFrame;
}

// The corners of a sprite of `side` turned about its centre, as the 2D
// driver computes them.
struct Corners {
    float x[4], y[4];
};

Corners Turned(const Sprite& s, float turn, float side) {
    double sine = SinDeg(s.angle + turn), cosine = CosDeg(s.angle + turn);
    auto ix = static_cast<float>(cosine), iy = static_cast<float>(-sine);
    auto jx = static_cast<float>(sine), jy = static_cast<float>(cosine);
    float h = side * 0.5f;
    const float lx[4] = {-h, h, h, -h}, ly[4] = {-h, -h, h, h};
    Corners c;
    for (int k = 0; k < 4; ++k) {
        c.x[k] = lx[k] * ix + ly[k] * iy + s.x;
        c.y[k] = lx[k] * jx + ly[k] * jy + s.y;
    }
    return c;
}

constexpr float CornerU[4] = {0, 1, 1, 0};
constexpr float CornerV[4] = {0, 0, 1, 1};

// A raw texture of the sprite and the GL state the 2D driver would set.
GLuint RawSpriteTexture(int side) {
    auto pixmap = SpritePixmap(side);
    GLuint texture = 0;
    glGenTextures(1, &texture);
    glBindTexture(GL_TEXTURE_2D, texture);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, side, side, 0, GL_RGBA, GL_UNSIGNED_BYTE,
                 pixmap->Pixels());
    glEnable(GL_TEXTURE_2D);
    glDisable(GL_ALPHA_TEST);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glColor4ub(255, 255, 255, static_cast<GLubyte>(SpriteAlpha * 255));
    return texture;
}

template <class DrawFrame> void RawSprites(benchmark::State& state, DrawFrame draw) {
    Display display;
    auto side = static_cast<int>(state.range(0));
    GLuint texture = RawSpriteTexture(side);
    auto frame = [&](float turn) {
        glClear(GL_COLOR_BUFFER_BIT);
        draw(turn, static_cast<float>(side));
        ReadOnePixel();
    };
    RunFrames(state, frame);
    glDeleteTextures(1, &texture);
}

void RawImmediateSprites(benchmark::State& state) {
    RawSprites(state, [&state](float turn, float side) {
        for (const Sprite& s : Sprites(state)) {
            Corners c = Turned(s, turn, side);
            glBegin(GL_QUADS);
            for (int k = 0; k < 4; ++k) {
                glTexCoord2f(CornerU[k], CornerV[k]);
                glVertex2f(c.x[k], c.y[k]);
            }
            glEnd();
        }
    });
}

void RawVertexArraySprites(benchmark::State& state) {
    auto count = static_cast<int>(state.range(1));
    std::vector<float> vertices(static_cast<size_t>(count) * 4 * 4);
    RawSprites(state, [&](float turn, float side) {
        float* v = vertices.data();
        for (const Sprite& s : Sprites(state)) {
            Corners c = Turned(s, turn, side);
            for (int k = 0; k < 4; ++k) {
                *v++ = c.x[k];
                *v++ = c.y[k];
                *v++ = CornerU[k];
                *v++ = CornerV[k];
            }
        }
        glEnableClientState(GL_VERTEX_ARRAY);
        glEnableClientState(GL_TEXTURE_COORD_ARRAY);
        glVertexPointer(2, GL_FLOAT, 4 * sizeof(float), vertices.data());
        glTexCoordPointer(2, GL_FLOAT, 4 * sizeof(float), vertices.data() + 2);
        glDrawArrays(GL_QUADS, 0, count * 4);
        glDisableClientState(GL_TEXTURE_COORD_ARRAY);
        glDisableClientState(GL_VERTEX_ARRAY);
    });
}

void SdlRendererSprites(benchmark::State& state) {
    auto side = static_cast<int>(state.range(0));
    SDL_GL_ResetAttributes();
    SDL_SetHint(SDL_HINT_RENDER_DRIVER, "opengl");
    SDL_SetHint(SDL_HINT_RENDER_BATCHING, "1");
    SDL_SetHint(SDL_HINT_RENDER_SCALE_QUALITY, "nearest");
    SDL_Window* window = SDL_CreateWindow("sdl", 32, 32, ScreenWidth, ScreenHeight,
                                          SDL_WINDOW_OPENGL | SDL_WINDOW_SHOWN);
    SDL_Renderer* renderer = SDL_CreateRenderer(window, -1, SDL_RENDERER_ACCELERATED);
    if (!renderer) {
        state.SkipWithError(SDL_GetError());
        SDL_DestroyWindow(window);
        return;
    }
    SDL_RendererInfo info;
    SDL_GetRendererInfo(renderer, &info);
    state.SetLabel(info.name);
    SDL_Texture* texture =
        SDL_CreateTexture(renderer, SDL_PIXELFORMAT_ABGR8888, SDL_TEXTUREACCESS_STATIC, side, side);
    auto pixmap = SpritePixmap(side);
    SDL_UpdateTexture(texture, nullptr, pixmap->Pixels(), pixmap->Pitch());
    SDL_SetTextureBlendMode(texture, SDL_BLENDMODE_BLEND);
    SDL_SetTextureAlphaMod(texture, static_cast<Uint8>(SpriteAlpha * 255));
    auto frame = [&](float turn) {
        SDL_SetRenderDrawColor(renderer, 0, 0, 0, 255);
        SDL_RenderClear(renderer);
        auto s = static_cast<float>(side);
        for (const Sprite& sprite : Sprites(state)) {
            SDL_FRect box = {sprite.x - s * 0.5f, sprite.y - s * 0.5f, s, s};
            SDL_RenderCopyExF(renderer, texture, nullptr, &box, sprite.angle + turn, nullptr,
                              SDL_FLIP_NONE);
        }
        SDL_Rect one = {0, 0, 1, 1};
        uint32_t pixel = 0;
        SDL_RenderReadPixels(renderer, &one, SDL_PIXELFORMAT_ABGR8888, &pixel, 4);
        benchmark::DoNotOptimize(pixel);
    };
    RunFrames(state, frame);
    SDL_DestroyTexture(texture);
    SDL_DestroyRenderer(renderer);
    SDL_DestroyWindow(window);
}

Ref<TPixmap> Picture800x600() {
    auto pixmap = CreatePixmap(ScreenWidth, ScreenHeight, PixelFormat::FormatRGB888);
    for (int y = 0; y < ScreenHeight; ++y)
        for (int x = 0; x < ScreenWidth; ++x)
            pixmap->WritePixel(x, y, 0xFF000000u | static_cast<uint32_t>(x * 7 ^ y * 3));
    return pixmap;
}

void CreateFrame800x600(benchmark::State& state) {
    Display display;
    auto picture = Picture800x600();
    for (auto _ : state) {
        auto frame = GLVex2DDriver()->CreateFrame(picture, ImageFlags::NoFlags);
        glFinish();
        benchmark::DoNotOptimize(frame);
    }
}

// The upload alone: a texture of the padded size from pixels already prepared.
void RawUpload1024x1024(benchmark::State& state) {
    Display display;
    std::vector<uint32_t> pixels(1024 * 1024, 0xFF336699u);
    for (auto _ : state) {
        GLuint texture = 0;
        glGenTextures(1, &texture);
        glBindTexture(GL_TEXTURE_2D, texture);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, 1024, 1024, 0, GL_RGBA, GL_UNSIGNED_BYTE,
                     pixels.data());
        glFinish();
        glDeleteTextures(1, &texture);
    }
}

// The ratios printed after the table.
void Summary(const RatioReporter& r) {
    std::printf("Time per frame over the baseline's (median of the repetitions; the sprites'\n"
                "CPU is every thread's, the software rasteriser's included):\n");
    for (const char* run : {"4/20000", "16/20000", "32/10000"}) {
        std::string s = run;
        r.PrintRatio("FrameworkSprites/" + s, "RawImmediateSprites/" + s, "mark <= 1.20");
        r.PrintRatio("FrameworkSprites/" + s, "RawVertexArraySprites/" + s, "");
        r.PrintRatio("FrameworkSprites/" + s, "SdlRendererSprites/" + s, "");
        r.PrintRatio("ShaderSprites/" + s, "FrameworkSprites/" + s, "mark <= 1.00");
        r.PrintRatio("ShaderSprites/" + s, "SdlRendererSprites/" + s, "mark <= 1.00");
        r.PrintRatio("ShaderSprites/" + s, "RawVertexArraySprites/" + s, "");
        r.PrintRatio("FrameworkSpritesViaTarget/" + s, "FrameworkSprites/" + s, "mark <= 1.05");
        r.PrintRatio("ShaderSpritesViaTarget/" + s, "ShaderSprites/" + s, "mark <= 1.05");
    }
    r.PrintRatio("CreateFrame800x600", "RawUpload1024x1024", "");
    if (double create = r.Time("CreateFrame800x600").real; create > 0)
        std::printf("CreateFrame of an 800 x 600 picture: %.2f ms\n", create);
}

} // namespace

// Side and count of the sprites. Repeated on a machine shared with other
// work: the medians are compared.
void Sides(benchmark::internal::Benchmark* b) {
    b->Args({4, 20000})->Args({16, 20000})->Args({32, 10000});
    b->Repetitions(5)->MinTime(0.3)->ReportAggregatesOnly()->MeasureProcessCPUTime()->UseRealTime();
}

BENCHMARK(RawImmediateSprites)->Apply(Sides);
BENCHMARK(FrameworkSprites)->Apply(Sides);
BENCHMARK(ShaderSprites)->Apply(Sides);
BENCHMARK(FrameworkSpritesViaTarget)->Apply(Sides);
BENCHMARK(ShaderSpritesViaTarget)->Apply(Sides);
BENCHMARK(RawVertexArraySprites)->Apply(Sides);
BENCHMARK(SdlRendererSprites)->Apply(Sides);
BENCHMARK(RawUpload1024x1024)->Repetitions(5)->ReportAggregatesOnly();
BENCHMARK(CreateFrame800x600)->Repetitions(5)->ReportAggregatesOnly();

int main(int argc, char** argv) {
    StartZandrel();
    benchmark::Initialize(&argc, argv);
    benchmark::SetDefaultTimeUnit(benchmark::kMillisecond);
    RunBenchmarksWithRatios(Summary);
    return 0;
}
