// Text drawn with FreeType fonts through the image-font layer and read back
// from the screen.
#include "font_test_support.hpp"
#include "test_support.hpp"
#include "vex2d_test_support.hpp"

#include <zandrel/font.hpp>

#include <algorithm>
#include <cmath>
#include <string_view>
#include <vector>

using namespace zandrel;
using namespace zandrel::test;

namespace {

using FontText = Vex2D;

struct Box {
    int x0, y0, x1, y1; // x1, y1 excluded
    bool Holds(int x, int y) const { return x >= x0 && x < x1 && y >= y0 && y < y1; }
};

// Where each inked glyph of the text lands with the pen starting at x, y,
// from the glyph rectangles and advances alone. Turned 90 degrees, a glyph's
// local (column, row) goes to (x - 1 - row, y + column) and the pen moves down.
std::vector<Box> PredictedBoxes(TFont& font, std::u16string_view text, int x, int y, bool turned) {
    std::vector<Box> boxes;
    float pen = 0;
    for (char16_t c : text) {
        int index = font.CharToGlyph(c);
        if (index < 0) continue;
        auto glyph = font.LoadGlyph(index);
        int gx, gy, w, h;
        glyph->GetRect(gx, gy, w, h);
        int along = static_cast<int>(pen);
        pen += glyph->Advance();
        if (!glyph->Pixels()) continue;
        if (turned)
            boxes.push_back({x - gy - h, y + along + gx, x - gy, y + along + gx + w});
        else
            boxes.push_back({x + along + gx, y + gy, x + along + gx + w, y + gy + h});
    }
    return boxes;
}

} // namespace

TEST_F(FontText, HelloInkStaysInsideThePredictedGlyphBoxes) {
    auto font = LoadImageFont(DejaVuSans, 24);
    ASSERT_TRUE(font);
    SetImageFont(font);
    auto source = font->source;
    const std::u16string_view shown = u"Hel\u4E00lo"; // the ideograph has no glyph: skipped
    float advances = 0;
    for (char16_t c : std::u16string_view(u"Hello"))
        advances += source->LoadGlyph(source->CharToGlyph(c))->Advance();
    EXPECT_EQ(TextWidth(String(shown)), static_cast<int>(advances));
    EXPECT_EQ(TextHeight(), source->Height());
    for (bool turned : {false, true}) {
        SCOPED_TRACE(turned ? "turned 90 degrees" : "level");
        ClearScreen();
        SetRotation(turned ? 90 : 0);
        DrawText(String(shown), 150, 60);
        auto boxes = PredictedBoxes(*source, shown, 150, 60, turned);
        ASSERT_EQ(boxes.size(), 5u);
        auto screen = Screen();
        std::vector<int> inkPerBox(boxes.size());
        for (int y = 0; y < Height; ++y)
            for (int x = 0; x < Width; ++x) {
                if (ReadPixel(screen, x, y) == Black) continue;
                auto in = std::find_if(boxes.begin(), boxes.end(),
                                       [&](const Box& b) { return b.Holds(x, y); });
                ASSERT_NE(in, boxes.end()) << "ink outside the glyphs at " << x << ", " << y;
                ++inkPerBox[static_cast<size_t>(in - boxes.begin())];
            }
        for (size_t i = 0; i < boxes.size(); ++i)
            EXPECT_GT(inkPerBox[i], 0) << "glyph " << i;
    }
    SetRotation(0);
    SetImageFont(nullptr);
}

// A kerned pair draws as its two characters drawn apart, the second moved
// by the pair's kerning.
TEST_F(FontText, KernedPairsDrawTheirSecondGlyphCloser) {
    auto font = LoadImageFont(DejaVuSans, 24);
    ASSERT_TRUE(font);
    SetImageFont(font);
    SetBlendMode(BlendMode::Alpha);
    for (std::u16string_view pair : {u"AV", u"To", u"Wa"}) {
        SCOPED_TRACE(ToUtf8(String(pair)));
        String first(pair.substr(0, 1)), second(pair.substr(1));
        float kerning = font->Kerning(font->CharToGlyph(pair[0]), font->CharToGlyph(pair[1]));
        ASSERT_LT(kerning, 0);
        ClearScreen();
        DrawText(first, 40, 40);
        DrawText(second, 40 + static_cast<float>(TextWidth(first)) + kerning, 40);
        auto apart = Screen();
        ClearScreen();
        DrawText(String(pair), 40, 40);
        auto screen = Screen();
        for (int y = 0; y < Height; ++y)
            for (int x = 0; x < Width; ++x)
                ASSERT_EQ(ReadPixel(screen, x, y), ReadPixel(apart, x, y)) << x << ", " << y;
    }
    SetImageFont(nullptr);
}

TEST_F(FontText, BitmapFontDrawsItsOneBitPixels) {
    TempFolder folder;
    WriteFileText(folder / "tiny.bdf", TinyBdf());
    auto font = LoadImageFont(FromUtf8(folder / "tiny.bdf"), TinySize + 1);
    ASSERT_TRUE(font);
    SetImageFont(font);
    SetBlendMode(BlendMode::Alpha);
    DrawText(u"A A", 40, 30); // 'A', a space of 7, 'A' 15 pixels on
    auto screen = Screen();
    for (int pen : {40, 55})
        for (int row = 0; row < TinyAHeight; ++row)
            for (int column = 0; column < TinyAWidth; ++column)
                ASSERT_EQ(ReadPixel(screen, pen + column, 30 + TinyATop + row),
                          TinyInk(column, row) ? White : Black)
                    << "pen " << pen << " at " << column << ", " << row;
    int ink = 0;
    for (int row = 0; row < TinyAHeight; ++row)
        for (int column = 0; column < TinyAWidth; ++column)
            ink += TinyInk(column, row);
    EXPECT_EQ(CountLit(), 2 * ink);
    SetImageFont(nullptr);
}
