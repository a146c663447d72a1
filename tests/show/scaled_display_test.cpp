// The show's display on X servers that have no 800 x 600 mode, each a private
// Xvfb of its own size: the picture is drawn at 800 x 600 and shown scaled.
#include "graphics/gl_context.hpp"
#include "show.hpp"
#include "test_support.hpp"

#include <gtest/gtest.h>
#include <zandrel/zandrel.hpp>

#include <GL/gl.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

using namespace zandrel;

namespace {

constexpr int W = 800, H = 600;

// An X window dump: its pixels as 0xRRGGBB.
struct Screenshot {
    int width = 0, height = 0;
    std::vector<uint32_t> rgb;
    uint32_t At(int x, int y) const { return rgb[static_cast<size_t>(y) * width + x]; }
};

uint32_t BigEndian32(const std::vector<uint8_t>& bytes, size_t at) {
    return uint32_t{bytes[at]} << 24 | bytes[at + 1] << 16 | bytes[at + 2] << 8 | bytes[at + 3];
}

int Shift(uint32_t mask) {
    int shift = 0;
    while (mask && !(mask >> shift & 1))
        ++shift;
    return shift;
}

// Only the 32-bit true-colour dumps that xwd writes of a 24-bit Xvfb screen.
Screenshot ReadXwd(const std::string& path) {
    auto bytes = test::ReadFileBytes(path);
    Screenshot shot;
    if (bytes.size() < 100 || BigEndian32(bytes, 44) != 32) return shot;
    auto field = [&](int index) { return BigEndian32(bytes, static_cast<size_t>(index) * 4); };
    size_t data = field(0) + size_t{field(19)} * 12; // header, then the colour table
    size_t pitch = field(12);
    bool lsbFirst = field(7) == 0;
    uint32_t masks[3] = {field(14), field(15), field(16)};
    shot.width = static_cast<int>(field(4));
    shot.height = static_cast<int>(field(5));
    if (bytes.size() < data + pitch * shot.height) return Screenshot();
    for (int y = 0; y < shot.height; ++y) {
        for (int x = 0; x < shot.width; ++x) {
            const uint8_t* p = &bytes[data + pitch * y + size_t{4} * x];
            uint32_t pixel = lsbFirst ? uint32_t{p[3]} << 24 | p[2] << 16 | p[1] << 8 | p[0]
                                      : uint32_t{p[0]} << 24 | p[1] << 16 | p[2] << 8 | p[3];
            uint32_t rgb = 0;
            for (uint32_t mask : masks)
                rgb = rgb << 8 | ((pixel & mask) >> Shift(mask) & 255);
            shot.rgb.push_back(rgb);
        }
    }
    return shot;
}

// The show's own start-up, rectangles at the corners, an oval and a feedback
// copy (the four-way mirror); the frame read back with GrabPixmap, a dump of
// the whole screen once it is shown, and standard error are left in `folder`.
int DrawKnownFrame(const std::string& folder) {
    std::freopen((folder + "/errors.txt").c_str(), "w", stderr);
    StartZandrel();
    SetGraphicsDriver(GLVex2DDriver(), GraphicsFlags::BackBuffer);
    if (!OpenGraphics(W, H, 16, 0)) return 2;
    if (GraphicsWidth() != W || GraphicsHeight() != H) return 3;
    show::InitFeedback(W, H);
    SetClearColor(0, 0, 0);
    ClearScreen();
    const struct {
        float x, y;
        int r, g, b;
    } corners[] = {
        {0, 0, 255, 0, 0}, {700, 0, 0, 255, 0}, {0, 520, 0, 0, 255}, {700, 520, 255, 255, 255}};
    for (const auto& c : corners) {
        SetColor(c.r, c.g, c.b);
        DrawRect(c.x, c.y, 100, 80);
    }
    SetColor(250, 200, 20);
    DrawOval(250, 150, 300, 200);
    show::FeedbackMirror(1, 0.5f);
    bool saved = SavePixmapPNG(GrabPixmap(0, 0, W, H), folder + "/frame.png", 1);
    Flip(FlipSync::VerticalBlank);
    glFinish();
    int dumped = std::system(("xwd -root -silent > " + folder + "/screen.xwd").c_str());
    EndGraphics();
    return saved && dumped == 0 ? 0 : 4;
}

std::string FileText(const std::string& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

uint32_t Rgb(const Ref<TPixmap>& p, int x, int y) {
    return p->ReadPixel(x, y) & 0xFFFFFF;
}

int CountDifferent(const Ref<TPixmap>& a, const Ref<TPixmap>& b) {
    int different = 0;
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x)
            different += Rgb(a, x, y) != Rgb(b, x, y);
    return different;
}

} // namespace

// The same frame, pixel for pixel, on a display that switches to 800 x 600 and
// on displays that show it scaled, by either way of presenting it; on screen
// it fills the area of its aspect ratio, centred, with black bars around it.
TEST(ScaledDisplay, EveryDisplayShowsTheSameFrame) {
    using Path = native::ScaledPresentPath;
    const struct {
        const char* name;
        int width, height;
        bool askScaled;
        int left, top, shownWidth, shownHeight; // where the picture is on screen
        Path path = Path::ByRenderer;
        const char* gl = nullptr; // ZANDREL_GL when set; the run's own otherwise
    } screens[] = {
        {"800 x 600, its own mode", 800, 600, false, 0, 0, 800, 600},
        {"1920 x 1080", 1920, 1080, false, 240, 0, 1440, 1080},
        {"1920 x 1080 through GL", 1920, 1080, false, 240, 0, 1440, 1080, Path::Gpu},
        {"1920 x 1080 by the processor", 1920, 1080, false, 240, 0, 1440, 1080, Path::Software},
        {"1024 x 768", 1024, 768, false, 0, 0, 1024, 768},
        {"800 x 600, scaled on request", 800, 600, true, 0, 0, 800, 600},
        {"800 x 600, scaled through GL", 800, 600, true, 0, 0, 800, 600, Path::Gpu},
        {"800 x 600, scaled by the processor", 800, 600, true, 0, 0, 800, 600, Path::Software},
        {"GL core, 1024 x 768", 1024, 768, false, 0, 0, 1024, 768, Path::ByRenderer, "core"},
    };
    test::TempFolder folder;
    Ref<TPixmap> reference;
    for (const auto& s : screens) {
        SCOPED_TRACE(s.name);
        std::string out = folder / std::to_string(&s - screens);
        ASSERT_TRUE(MakeFolder(FromBytes(out)));
        int code = test::PrivateDisplay(s.width, s.height).RunChild([&] {
            if (s.askScaled) setenv("ZANDREL_FULLSCREEN", "scaled", 1);
            native::SetScaledPresentPath(s.path);
            if (s.gl) setenv("ZANDREL_GL", s.gl, 1);
            return DrawKnownFrame(out);
        });
        ASSERT_EQ(code, 0) << FileText(out + "/errors.txt");
        bool scaled = s.width != W || s.askScaled;
        std::string said = std::to_string(W) + " x " + std::to_string(H) + " shown scaled on a " +
                           std::to_string(s.width) + " x " + std::to_string(s.height) +
                           " display\n";
        EXPECT_EQ(FileText(out + "/errors.txt").find(said) != std::string::npos, scaled);

        auto frame = LoadPixmap(out + "/frame.png");
        ASSERT_TRUE(frame);
        if (!reference) reference = frame;
        EXPECT_EQ(CountDifferent(frame, reference), 0);

        Screenshot screen = ReadXwd(out + "/screen.xwd");
        ASSERT_EQ(screen.width, s.width);
        ASSERT_EQ(screen.height, s.height);
        auto onScreen = [&](int x, int y) {
            return screen.At(s.left + (2 * x + 1) * s.shownWidth / (2 * W),
                             s.top + (2 * y + 1) * s.shownHeight / (2 * H));
        };
        // Inside flat areas (the corners, the oval) scaling keeps the colour.
        for (auto [x, y] : {std::pair{50, 40}, {750, 40}, {50, 560}, {750, 560}, {400, 300}}) {
            EXPECT_NE(Rgb(frame, x, y), 0u);
            EXPECT_EQ(onScreen(x, y), Rgb(frame, x, y)) << x << ", " << y;
        }
        if (s.left > 0) {
            EXPECT_EQ(screen.At(s.left / 2, s.height / 2), 0u);
            EXPECT_EQ(screen.At(s.width - 1 - s.left / 2, s.height - 1), 0u);
        }
        if (s.shownWidth == W) {
            int different = 0;
            for (int y = 0; y < H; ++y)
                for (int x = 0; x < W; ++x)
                    different += screen.At(x, y) != Rgb(frame, x, y);
            EXPECT_EQ(different, 0);
        }
    }
}

namespace {

// Moves the pointer over the screen with xdotool and notes the mouse position
// the program reads once the move has arrived, "x y" a line.
int ReadMousePositions(const std::string& report,
                       const std::vector<std::pair<int, int>>& screenPoints,
                       const std::vector<std::pair<int, int>>& expected) {
    StartZandrel();
    if (!OpenGraphics(W, H, 16)) return 2;
    std::ofstream out(report);
    for (size_t i = 0; i < screenPoints.size(); ++i) {
        auto [x, y] = screenPoints[i];
        std::string move = "xdotool mousemove " + std::to_string(x) + " " + std::to_string(y);
        if (std::system(move.c_str()) != 0) return 3;
        int start = Millisecs();
        while (std::pair(MouseXPos(), MouseYPos()) != expected[i] && Millisecs() - start < 3000)
            DelayMillis(10);
        out << MouseXPos() << " " << MouseYPos() << "\n";
    }
    EndGraphics();
    return 0;
}

} // namespace

// On a 1920 x 1080 display the picture is 1440 x 1080 from x = 240: positions
// are the picture's own, clamped to its edge over the bars.
TEST(ScaledDisplay, MousePositionsAreThePictures) {
    const struct {
        int x, y;
        std::pair<int, int> read;
    } moves[] = {
        {960, 540, {400, 300}},   // the centre
        {600, 180, {200, 100}},   // inside
        {100, 540, {0, 300}},     // the left bar
        {1900, 1079, {799, 599}}, // the right bar's bottom
        {240, 0, {0, 0}},         // the picture's corner
    };
    std::vector<std::pair<int, int>> points, expected;
    std::string wanted;
    for (const auto& m : moves) {
        points.emplace_back(m.x, m.y);
        expected.push_back(m.read);
        wanted += std::to_string(m.read.first) + " " + std::to_string(m.read.second) + "\n";
    }
    test::TempFolder folder;
    std::string report = folder / "positions.txt";
    int code = test::PrivateDisplay(1920, 1080).RunChild([&] {
        return ReadMousePositions(report, points, expected);
    });
    ASSERT_EQ(code, 0);
    EXPECT_EQ(FileText(report), wanted);
}
