#include "vex2d/gl_shader2d.hpp"
#include "vex2d_test_support.hpp"

#include <functional>
#include <regex>

namespace zandrel::test {

namespace {

using Shaders = Vex2D;

constexpr int Side = 8; // drawn pictures: a power of two, so uv runs 0 to 1 across them
constexpr int ImageX = 10, ImageY = 10, RectX = 30, PixmapX = 50;

int Red(uint32_t c) {
    return static_cast<int>(c >> 16 & 255);
}
int Green(uint32_t c) {
    return static_cast<int>(c >> 8 & 255);
}
int Blue(uint32_t c) {
    return static_cast<int>(c & 255);
}
uint32_t Inverted(uint32_t c) {
    return Rgb(255 - Red(c), 255 - Green(c), 255 - Blue(c));
}

// The picture a second texture holds: unlike the drawn one everywhere.
uint32_t OtherColour(int x, int y) {
    return Rgb(250 - x * 20, 30 + y * 20, 90);
}

Ref<TImage> ImageOf(int width, int height, const std::function<uint32_t(int, int)>& colour) {
    auto pixmap = CreatePixmap(width, height, PixelFormat::FormatRGBA8888);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            pixmap->WritePixel(x, y, colour(x, y));
    return LoadImage(pixmap, ImageFlags::NoFlags);
}

// What a pixel of the scene shows: from the colour drawn there without a
// shader, its screen position and its position in the picture or shape.
using Expected = std::function<uint32_t(uint32_t drawn, int x, int y, int localX, int localY)>;

struct ShadedCase {
    const char* name;
    const char* body;
    std::function<void()> setUniforms;
    Expected expected;
    bool shapesToo; // also shapes and pixmaps, which have no picture of their own
    BlendMode blend = BlendMode::Solid;
};

constexpr uint32_t RectColour = 0xFFC86432u; // 200, 100, 50

// An image, a rectangle, a pixmap and a line, each Side pixels wide.
void DrawScene(const Ref<TImage>& image, BlendMode blend) {
    SetBlendMode(blend);
    SetColor(255, 255, 255);
    DrawImage(image, ImageX, ImageY);
    DrawPixmap(PatternPixmap(Side, Side), PixmapX, ImageY);
    SetColor(Red(RectColour), Green(RectColour), Blue(RectColour));
    DrawRect(RectX, ImageY, Side, Side);
    DrawLine(RectX, ImageY + 20, RectX + Side - 1, ImageY + 20);
    SetColor(255, 255, 255);
}

// Each drawn pixel against the case's expectation; the count of misses.
int Misses(const Ref<TPixmap>& screen, const ShadedCase& c) {
    int misses = 0;
    auto check = [&](int x0, int y0, int h, const std::function<uint32_t(int, int)>& drawn) {
        for (int ly = 0; ly < h; ++ly)
            for (int lx = 0; lx < Side; ++lx) {
                int x = x0 + lx, y = y0 + ly;
                uint32_t want = c.expected(drawn(lx, ly), x, y, lx, ly);
                bool near = ColourNear(ReadPixel(screen, x, y), want, 2);
                if (!near && misses++ < 3)
                    ADD_FAILURE() << c.name << " at " << x << ", " << y << std::hex << ": "
                                  << ReadPixel(screen, x, y) << " for " << want;
            }
    };
    check(ImageX, ImageY, Side, PatternColour);
    if (!c.shapesToo) return misses;
    check(PixmapX, ImageY, Side, PatternColour);
    check(RectX, ImageY, Side, [](int, int) { return RectColour; });
    check(RectX, ImageY + 20, 1, [](int, int) { return RectColour; });
    return misses;
}

} // namespace

TEST_F(Shaders, BodiesShadeWhatIsDrawn) {
    auto picture = ImageOf(Side, Side, PatternColour);
    auto other = ImageOf(Side, Side, OtherColour);
    // 6 x 5 in a texture of 8 x 8: its extent is 0.75, 0.625.
    auto small = ImageOf(6, 5, OtherColour);
    const ShadedCase cases[] = {
        {"invert", "result.rgb = vec3(1.0) - result.rgb;", [] {},
         [](uint32_t drawn, int, int, int, int) { return Inverted(drawn); }, true},
        {"uniforms",
         "uniform float gain;\n"
         "uniform vec4 tint;\n"
         "uniform int channel;\n"
         "result.rgb = result.rgb * tint.rgb * gain;\n"
         "if (channel == 1) result.g = 1.0;",
         [] {
             SetShaderUniform("gain", 0.5f);
             SetShaderUniform("tint", 1.0f, 0.5f, 1.0f, 1.0f);
             SetShaderUniform("channel", 1);
         },
         [](uint32_t drawn, int, int, int, int) {
             return Rgb(Red(drawn) / 2, 255, Blue(drawn) / 2);
         },
         true},
        {"second texture", "uniform sampler2D other;\nresult = pick(other, uv);",
         [&] { SetShaderTexture("other", other); },
         [](uint32_t, int, int, int lx, int ly) { return OtherColour(lx, ly); }, false},
        {"extent",
         "uniform sampler2D other;\nuniform vec2 other_extent;\n"
         "result = pick(other, uv * other_extent);",
         [&] { SetShaderTexture("other", small); },
         [](uint32_t, int, int, int lx, int ly) {
             return OtherColour((lx * 2 + 1) * 6 / (2 * Side), (ly * 2 + 1) * 5 / (2 * Side));
         },
         false},
        {"screen split",
         "if (screen.x < 14.0 && screen.y > 12.0) result = vec4(1.0, 0.0, 0.0, 1.0);", [] {},
         [](uint32_t drawn, int x, int y, int, int) {
             return x < 14 && y >= 12 ? Rgb(255, 0, 0) : drawn; // pixel centres
         },
         true},
        {"masked", "if (screen.x < 14.0) result.a = 0.25;", [] {},
         [](uint32_t drawn, int x, int, int, int) { return x < 14 ? Black : drawn; }, true,
         BlendMode::Mask},
    };
    auto target = CreateImage(128, 64, 1, ImageFlags::NoFlags);
    for (const auto& c : cases)
        for (bool intoImage : {false, true}) {
            SetRenderTarget(intoImage ? target : nullptr);
            ClearScreen();
            SetShader(CreateShader2D(c.body));
            c.setUniforms();
            DrawScene(picture, c.blend);
            EXPECT_EQ(Misses(GrabPixmap(0, 0, 128, 64), c), 0) << c.name << intoImage;
            SetShader(nullptr);
            SetRenderTarget(nullptr);
        }
}

// The GL's message, with the line of the body, as an error; drawing goes on.
TEST_F(Shaders, ACompileErrorNamesTheBodysLine) {
    const struct {
        const char* body;
        int line;
    } cases[] = {
        {"result = undefinedName;", 1},
        {"float a = 1.0;\n\nresult.r = a + undefinedName;\nresult.g = 0.0;", 3},
        {"result.r = 0.5;\nuniform vec5 broken;", 2}, // a declaration moved out of the function
    };
    for (const auto& c : cases) {
        std::string message;
        try {
            CreateShader2D(c.body);
        } catch (const RuntimeError& e) {
            message = e.what();
        }
        std::regex located("(: |\\n)(ERROR: )?0:" + std::to_string(c.line) + "[(:]");
        EXPECT_TRUE(std::regex_search(message, located)) << c.body << "\n" << message;
        EXPECT_EQ(message.rfind("Shader does not compile: ", 0), 0u) << message;
    }
    EXPECT_EQ(
        Shader2DBodyLog("ERROR: 0:9: 'x' : undeclared\n0(9) : error", {0, 0, 0, 0, 0, 0, 0, 0, 4}),
        "ERROR: 0:4: 'x' : undeclared\n0(4) : error")
        << "the other drivers' formats";
    auto shader = CreateShader2D("uniform vec2 at;\nresult = vec4(at, 0.0, 1.0);");
    EXPECT_THROW(SetShaderUniform("at", 1.0f, 2.0f), RuntimeError) << "no shader set";
    SetShader(shader);
    EXPECT_THROW(SetShaderUniform("at", 1.0f), RuntimeError) << "a vec2 given a float";
    EXPECT_THROW(SetShaderTexture("at", nullptr), RuntimeError);
    SetShaderUniform("unused", 1.0f); // ignored, as the GL ignores it
    SetShader(nullptr);
    DrawRect(0, 0, 4, 4);
    EXPECT_EQ(PixelAt(1, 1), White);
}

// A frame drawn into an image through a shader, then the image drawn plain,
// then drawn through another shader as a whole-frame effect; another
// context keeps its own (no) shader.
TEST_F(Shaders, SetUnsetAndRenderTargets) {
    auto invert = CreateShader2D("result.rgb = vec3(1.0) - result.rgb;");
    auto split = CreateShader2D("if (screen.x >= 20.0) result = vec4(0.0, 0.0, 1.0, 1.0);");
    auto picture = ImageOf(Side, Side, PatternColour);
    auto target = CreateImage(32, 32, 1, ImageFlags::NoFlags);
    SetRenderTarget(target);
    SetClearColor(0, 0, 0);
    ClearScreen();
    SetShader(invert);
    EXPECT_EQ(GetShader(), invert);
    SetBlendMode(BlendMode::Solid);
    DrawImage(picture, 16, 4);
    SetShader(nullptr);
    EXPECT_FALSE(GetShader());
    DrawRect(0, 0, 2, 2);
    SetRenderTarget(nullptr);

    ClearScreen();
    DrawImage(target, 100, 100);
    SetShader(split);
    DrawImage(target, 0, 0);
    SetShader(nullptr);
    auto screen = Screen();
    for (int y = 0; y < Side; ++y)
        for (int x = 0; x < Side; ++x) {
            uint32_t inverted = Inverted(PatternColour(x, y));
            EXPECT_TRUE(ColourNear(ReadPixel(screen, 116 + x, 104 + y), inverted, 2)) << x << y;
            uint32_t shown = 16 + x >= 20 ? Rgb(0, 0, 255) : inverted;
            EXPECT_TRUE(ColourNear(ReadPixel(screen, 16 + x, 4 + y), shown, 2)) << x << y;
        }
    EXPECT_EQ(ReadPixel(screen, 101, 101), White) << "unshaded after SetShader(nullptr)";

    // Text and points go through it as well.
    auto red = CreateShader2D("result.rgb = vec3(1.0, 0.0, 0.0);");
    auto countRed = [&] {
        int count = 0;
        auto now = Screen();
        for (int y = 0; y < Height; ++y)
            for (int x = 0; x < Width; ++x)
                count += ReadPixel(now, x, y) == Rgb(255, 0, 0);
        return count;
    };
    SetBlendMode(BlendMode::Mask);
    ClearScreen();
    DrawText("Ab", 0, 0);
    int plain = CountLit();
    ClearScreen();
    SetShader(red);
    DrawText("Ab", 0, 0);
    Plot(300, 200);
    SetShader(nullptr);
    EXPECT_EQ(countRed(), plain + 1) << "every lit pixel red";
    EXPECT_EQ(CountLit(), plain + 1);

    SetShader(invert);
    auto first = CurrentGraphics();
    // Of the shader driver: under the fixed-function one, another profile.
    auto second = GLES2DDriver()->CreateGraphics(64, 64, 0, 0, GraphicsFlags::NoFlags);
    ASSERT_TRUE(second);
    SetGraphics(second);
    EXPECT_FALSE(GetShader());
    DrawRect(0, 0, 4, 4);
    EXPECT_EQ(PixelAt(1, 1), White) << "the other context draws plain";
    SetShader(invert);
    SetColor(0, 0, 0);
    DrawRect(4, 4, 4, 4);
    EXPECT_EQ(PixelAt(5, 5), White) << "the shader made for this context's profile";
    SetColor(255, 255, 255);
    SetGraphics(first);
    CloseGraphics(second);
    EXPECT_EQ(GetShader(), invert);
    DrawRect(0, 0, 4, 4);
    EXPECT_EQ(PixelAt(1, 1), Black) << "the first context's shader again";
    SetShader(nullptr);
}

} // namespace zandrel::test
