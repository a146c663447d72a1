// A 2D context to draw into and the pixels read back from it.
#pragma once

#include <gtest/gtest.h>
#include <zandrel/vex2d.hpp>

#include "test_support.hpp"

namespace zandrel::test {

constexpr uint32_t Black = 0xFF000000u;
constexpr uint32_t White = 0xFFFFFFFFu;

// A windowed 320 x 240 context of the OpenGL 2D driver, cleared to black.
class Vex2D : public testing::Test {
protected:
    static constexpr int Width = 320;
    static constexpr int Height = 240;
    void SetUp() override;
    void TearDown() override;
    // The back buffer as it is now.
    Ref<TPixmap> Screen() { return GrabPixmap(0, 0, Width, Height); }
    uint32_t PixelAt(int x, int y) { return ReadPixel(GrabPixmap(x, y, 1, 1), 0, 0); }
    // Lit pixels (not black) of the whole screen.
    int CountLit();
};

// Red from x, green from y: every pixel of a small picture differs.
uint32_t PatternColour(int x, int y);
Ref<TPixmap> PatternPixmap(int width, int height, PixelFormat format = PixelFormat::FormatRGBA8888);
Ref<TPixmap> FilledPixmap(int width, int height, uint32_t argb,
                          PixelFormat format = PixelFormat::FormatRGBA8888);

// Within `tolerance` in each of the four channels.
::testing::AssertionResult ColourNear(uint32_t actual, uint32_t expected, int tolerance = 1);

uint32_t Rgb(int red, int green, int blue);

// For tests that look at the fixed-function driver's own GL state, which a
// context of a shader profile (ZANDREL_GL=es or core) does not have.
#define ZANDREL_SKIP_UNLESS_FIXED_FUNCTION()                                                       \
    if (CurrentGLProfile() != GLProfile::Compatibility) GTEST_SKIP() << "fixed-function GL state"

} // namespace zandrel::test
