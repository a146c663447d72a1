#include "vex2d_test_support.hpp"

#include <cstdio>
#include <cstdlib>

namespace zandrel::test {

namespace {

// Other test programs running beside these find their windows by the
// default caption.
class OwnWindowCaption : public testing::Environment {
public:
    void SetUp() override { SetApplicationTitle(u"Zandrel 2D renderer test"); }
};

const auto* ownCaption = testing::AddGlobalTestEnvironment(new OwnWindowCaption);

} // namespace

void Vex2D::SetUp() {
    SetGraphicsDriver(GLVex2DDriver());
    ASSERT_TRUE(OpenGraphics(Width, Height));
}

void Vex2D::TearDown() {
    EndGraphics();
}

int Vex2D::CountLit() {
    auto screen = Screen();
    int lit = 0;
    for (int y = 0; y < Height; ++y)
        for (int x = 0; x < Width; ++x)
            lit += ReadPixel(screen, x, y) != Black;
    return lit;
}

uint32_t Rgb(int red, int green, int blue) {
    return 0xFF000000u | static_cast<uint32_t>(red) << 16 | static_cast<uint32_t>(green) << 8 |
           static_cast<uint32_t>(blue);
}

uint32_t PatternColour(int x, int y) {
    return Rgb(40 + x * 8, 40 + y * 8, 200);
}

Ref<TPixmap> PatternPixmap(int width, int height, PixelFormat format) {
    auto pixmap = CreatePixmap(width, height, format);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            pixmap->WritePixel(x, y, PatternColour(x, y));
    return pixmap;
}

Ref<TPixmap> FilledPixmap(int width, int height, uint32_t argb, PixelFormat format) {
    auto pixmap = CreatePixmap(width, height, format);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            pixmap->WritePixel(x, y, argb);
    return pixmap;
}

::testing::AssertionResult ColourNear(uint32_t actual, uint32_t expected, int tolerance) {
    for (int shift = 0; shift < 32; shift += 8) {
        int a = static_cast<int>(actual >> shift & 255),
            e = static_cast<int>(expected >> shift & 255);
        if (std::abs(a - e) > tolerance) {
            char text[64];
            std::snprintf(text, sizeof text, "%08X is not %08X", actual, expected);
            return ::testing::AssertionFailure() << text;
        }
    }
    return ::testing::AssertionSuccess();
}

} // namespace zandrel::test
