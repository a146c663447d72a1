// Fonts: the loader list, image fonts over a loaded font, the built-in font
// and text drawn with it.
#include "vex2d_test_support.hpp"

#include <map>
#include <string>

using namespace zandrel;
using namespace zandrel::test;

namespace {

// A font of three glyphs: 'a' (ink 2 x 3 at offset 1, -3, advance 2.5),
// 'b' (no ink, advance 4) and 'c' (ink 1 x 1, advance 2.5).
class TTinyGlyph : public TGlyph {
public:
    TTinyGlyph(Ref<TPixmap> pixels, float advance, int x, int y)
        : pixels_(std::move(pixels)), advance_(advance), x_(x), y_(y) {}
    Ref<Object> Pixels() override { return pixels_; }
    float Advance() override { return advance_; }
    void GetRect(int& x, int& y, int& w, int& h) override {
        x = x_;
        y = y_;
        w = pixels_ ? pixels_->Width() : 0;
        h = pixels_ ? pixels_->Height() : 0;
    }

private:
    Ref<TPixmap> pixels_;
    float advance_;
    int x_, y_;
};

class TTinyFont : public TFont {
public:
    explicit TTinyFont(FontStyle style) : style_(style) {}
    FontStyle Style() override { return style_; }
    int Height() override { return 5; }
    int CountGlyphs() override { return 3; }
    int CharToGlyph(int c) override { return c >= 'a' && c <= 'c' ? c - 'a' : -1; }
    Ref<TGlyph> LoadGlyph(int index) override {
        ++loads[index];
        switch (index) {
        case 0:
            return New<TTinyGlyph>(FilledPixmap(2, 3, White), 2.5f, 1, -3);
        case 1:
            return New<TTinyGlyph>(nullptr, 4.0f, 0, 0);
        default:
            return New<TTinyGlyph>(FilledPixmap(1, 1, White), 2.5f, 0, 0);
        }
    }
    std::map<int, int> loads;

private:
    FontStyle style_;
};

// Gives its font for the name "tiny" only.
class TTinyLoader : public TFontLoader {
public:
    Ref<TFont> LoadFont(const Url& url, int, FontStyle style) override {
        ++asked;
        if (url.Text() != name) return nullptr;
        font = New<TTinyFont>(style);
        return font;
    }
    explicit TTinyLoader(String name) : name(std::move(name)) {}
    String name;
    int asked = 0;
    Ref<TTinyFont> font;
};

const uint8_t* KestrFont() {
    return static_cast<const uint8_t*>(EmbeddedData(u"kestrfont.bin"));
}

bool Ink(int code, int row, int column) {
    return KestrFont()[row * 96 + (code - 32)] >> column & 1;
}

using Text = Vex2D;

} // namespace

TEST(FontLoaders, NewestIsAskedFirstAndNoneIsAddedTwice) {
    auto first = New<TTinyLoader>(u"tiny");
    auto second = New<TTinyLoader>(u"tiny");
    AddFontLoader(first);
    AddFontLoader(second);
    auto font = LoadFont(u"tiny", 12);
    ASSERT_TRUE(font);
    EXPECT_EQ(font, second->font);
    EXPECT_EQ(first->asked, 0);
    // The last loader of the list has no next either: adding it again must
    // not close the list into a ring.
    AddFontLoader(first);
    AddFontLoader(second);
    EXPECT_FALSE(LoadFont(u"other", 12));
    EXPECT_EQ(first->asked, 1);
    EXPECT_EQ(second->asked, 2);
    AddFontLoader(nullptr);
}

TEST(FontLoaders, WithoutALoaderNoFont) {
    EXPECT_FALSE(LoadFont(u"tiny", 12));
    EXPECT_FALSE(LoadImageFont(u"tiny", 12));
    TFont font;
    EXPECT_THROW(font.Height(), RuntimeError);
    TGlyph glyph;
    EXPECT_THROW(glyph.Advance(), RuntimeError);
}

TEST(ImageFontOverALoadedFont, GlyphsAreMadeOnFirstUse) {
    auto loader = New<TTinyLoader>(u"tiny");
    AddFontLoader(loader);
    auto smooth = LoadImageFont(u"tiny", 12, FontStyle::Smooth);
    ASSERT_TRUE(smooth);
    EXPECT_EQ(smooth->imageFlags, ImageFlags::Filtered | ImageFlags::Mipmapped);
    EXPECT_EQ(smooth->Style(), FontStyle::Smooth);
    EXPECT_EQ(smooth->Height(), 5);
    EXPECT_EQ(smooth->CountGlyphs(), 3);
    EXPECT_EQ(smooth->CharToGlyph('c'), 2);
    EXPECT_TRUE(loader->font->loads.empty());
    auto a = smooth->LoadGlyph(0);
    ASSERT_TRUE(a);
    EXPECT_EQ(smooth->LoadGlyph(0), a);
    EXPECT_EQ(loader->font->loads[0], 1);
    EXPECT_EQ(a->Advance(), 2.5f);
    int x, y, w, h;
    a->GetRect(x, y, w, h);
    EXPECT_EQ(x, 1);
    EXPECT_EQ(y, -3);
    EXPECT_EQ(w, 2);
    EXPECT_EQ(h, 3);
    ASSERT_TRUE(a->Image());
    EXPECT_EQ(a->Image()->flags, ImageFlags::Filtered | ImageFlags::Mipmapped);
    EXPECT_EQ(a->Image()->handleX, 0.0f);
    EXPECT_FALSE(smooth->LoadGlyph(1)->Image()); // no ink
    EXPECT_FALSE(smooth->LoadGlyph(3));
    EXPECT_FALSE(smooth->LoadGlyph(-1));
    EXPECT_EQ(LoadImageFont(u"tiny", 12)->imageFlags, ImageFlags::NoFlags);
}

TEST(BuiltInFont, EightBySixteenForCodes32To127) {
    EXPECT_EQ(EmbeddedSize(u"kestrfont.bin"), 1536);
    EXPECT_TRUE(OpenReadStream(u"incbin::kestrfont.bin"));
    auto font = TImageFont::CreateDefault();
    EXPECT_EQ(font->Height(), 16);
    EXPECT_EQ(font->CountGlyphs(), 96);
    EXPECT_EQ(font->Style(), FontStyle::Plain);
    EXPECT_EQ(font->CharToGlyph(32), 0);
    EXPECT_EQ(font->CharToGlyph(127), 95);
    EXPECT_EQ(font->CharToGlyph(128), -1);
    EXPECT_EQ(font->CharToGlyph(31), -1);
    auto glyph = font->LoadGlyph('A' - 32);
    EXPECT_EQ(glyph->Advance(), 8.0f);
    auto& pixels = glyph->Image()->pixmaps[0];
    ASSERT_EQ(pixels->Width(), 8);
    ASSERT_EQ(pixels->Height(), 16);
    for (int row = 0; row < 16; ++row)
        for (int column = 0; column < 8; ++column)
            ASSERT_EQ(ReadPixel(pixels, column, row), Ink('A', row, column) ? White : 0u);
}

TEST_F(Text, WidthAndHeightOfTheBuiltInFont) {
    EXPECT_EQ(TextWidth(u""), 0);
    EXPECT_EQ(TextWidth(u"abc"), 24);
    EXPECT_EQ(TextWidth(u"a\tb\u00e9"), 16);
    EXPECT_EQ(TextHeight(), 16);
}

// UTF-8 text (a literal, std::string, std::string_view) is taken as a String.
TEST_F(Text, Utf8TextIsTheSameText) {
    int score = 12;
    EXPECT_EQ(TextWidth("Score: " + std::to_string(score)), TextWidth(u"Score: 12"));
    EXPECT_EQ(TextWidth(std::string_view("K\xC3\xA4se")), TextWidth(u"K\u00e4se"));
    DrawText("A\xC3\xA9"
             "B",
             10, 20);
    auto utf8 = Screen();
    ClearScreen();
    DrawText(u"A\u00e9B", 10, 20);
    auto utf16 = Screen();
    for (int x = 0; x < 40; ++x)
        for (int y = 20; y < 36; ++y)
            ASSERT_EQ(ReadPixel(utf8, x, y), ReadPixel(utf16, x, y));
    EXPECT_EQ(FileNamePart("a/b\xC3\xA9.txt"), u"b\u00e9.txt");
    EXPECT_EQ(ExtensionPart(std::string("x.png")), u"png");
}

TEST_F(Text, DrawsTheFontsInkAndSkipsCharactersWithoutGlyphs) {
    SetColor(0, 255, 0);
    DrawText(u"A\tB\u00e9~", 10, 20);
    auto screen = Screen();
    const char16_t drawn[] = {u'A', u'B', u'~'};
    for (int i = 0; i < 3; ++i)
        for (int row = 0; row < 16; ++row)
            for (int column = 0; column < 8; ++column)
                ASSERT_EQ(ReadPixel(screen, 10 + 8 * i + column, 20 + row),
                          Ink(drawn[i], row, column) ? Rgb(0, 255, 0) : Black)
                    << "character " << i << " row " << row << " column " << column;
    int ink = 0;
    for (char16_t c : drawn)
        for (int row = 0; row < 16; ++row)
            for (int column = 0; column < 8; ++column)
                ink += Ink(c, row, column);
    EXPECT_EQ(CountLit(), ink);
}

TEST_F(Text, RotatedTextMovesDown) {
    SetRotation(90);
    DrawText(u"AB", 100, 50);
    auto screen = Screen();
    // Local (column, row) of a glyph goes to (pen x - 1 - row, pen y + column).
    for (int i = 0; i < 2; ++i)
        for (int row = 0; row < 16; ++row)
            for (int column = 0; column < 8; ++column)
                ASSERT_EQ(ReadPixel(screen, 99 - row, 50 + 8 * i + column),
                          Ink(u'A' + i, row, column) ? White : Black)
                    << "character " << i << " row " << row << " column " << column;
}

TEST_F(Text, GlyphsOfALoadedFontSitAtTheirOffsets) {
    AddFontLoader(New<TTinyLoader>(u"tiny"));
    auto font = LoadImageFont(u"tiny", 12);
    SetImageFont(font);
    EXPECT_EQ(GetImageFont(), font);
    EXPECT_EQ(TextHeight(), 5);
    // Advances of 2.5, 4, 2.5, 2.5 summed and truncated at each step: 2, 6, 8, 10.
    EXPECT_EQ(TextWidth(u"abca"), 10);
    SetBlendMode(BlendMode::Solid);
    DrawText(u"a", 50, 50);
    // Ink 2 x 3 at offset 1, -3 from the pen.
    EXPECT_EQ(PixelAt(51, 47), White);
    EXPECT_EQ(PixelAt(52, 49), White);
    EXPECT_EQ(PixelAt(50, 47), Black);
    EXPECT_EQ(PixelAt(51, 50), Black);
    EXPECT_EQ(CountLit(), 6);
    ClearScreen();
    DrawText(u"bc", 50.25f, 60); // 'c' at 50.25 + 4
    EXPECT_EQ(PixelAt(54, 60), White);
    EXPECT_EQ(CountLit(), 1);
    SetImageFont(nullptr);
    EXPECT_EQ(TextHeight(), 16);
}
