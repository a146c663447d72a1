// FreeType fonts against FreeType itself: metrics, placement and pixels of
// DejaVu Sans, a bitmap face, the URL forms, bad input, and the library's
// life at exit.
#include "font_test_support.hpp"
#include "test_support.hpp"

#include <gtest/gtest.h>
#include <zandrel/zandrel.hpp>

#include <ft2build.h>
#include FT_FREETYPE_H

#include <climits>
#include <cstdlib>
#include <string_view>

using namespace zandrel;
using namespace zandrel::test;

namespace {

// FreeType called directly, on a library of its own, for the same face and size.
class DirectFace {
public:
    DirectFace(const std::string& path, int size) {
        FT_Init_FreeType(&library_);
        EXPECT_EQ(FT_New_Face(library_, path.c_str(), 0, &face_), 0);
        EXPECT_EQ(FT_Set_Pixel_Sizes(face_, 0, static_cast<FT_UInt>(size)), 0);
    }
    ~DirectFace() {
        FT_Done_Face(face_);
        FT_Done_FreeType(library_);
    }
    FT_Face Face() const { return face_; }
    FT_GlyphSlot Render(int glyph) {
        EXPECT_EQ(FT_Load_Glyph(face_, static_cast<FT_UInt>(glyph), FT_LOAD_RENDER), 0);
        return face_->glyph;
    }

private:
    FT_Library library_ = nullptr;
    FT_Face face_ = nullptr;
};

Ref<TFreeTypeGlyph> GlyphOf(const Ref<TFreeTypeFont>& font, int character) {
    return As<TFreeTypeGlyph>(font->LoadGlyph(font->CharToGlyph(character)));
}

struct Rect {
    int x, y, w, h;
    bool operator==(const Rect&) const = default;
};

Rect RectOf(TGlyph& glyph) {
    Rect r{};
    glyph.GetRect(r.x, r.y, r.w, r.h);
    return r;
}

// The alpha of each pixel, `border` pixels in from the pixmap's edge.
void ExpectPixels(const FT_Bitmap& bitmap, const Ref<TPixmap>& pixmap, int border) {
    ASSERT_TRUE(pixmap);
    ASSERT_EQ(pixmap->Format(), PixelFormat::FormatA8);
    for (int y = 0; y < static_cast<int>(bitmap.rows); ++y)
        for (int x = 0; x < static_cast<int>(bitmap.width); ++x)
            ASSERT_EQ(*pixmap->PixelPtr(x + border, y + border),
                      bitmap.buffer[y * bitmap.pitch + x])
                << "at " << x << ", " << y;
}

Ref<TBank> BankOf(ByteArray bytes) {
    auto bank = CreateBank(static_cast<int>(bytes.size()));
    std::copy(bytes.begin(), bytes.end(), bank->Buf());
    return bank;
}

ByteArray DejaVuBytes() {
    return ReadFileBytes(DejaVuSans);
}

} // namespace

TEST(FreeTypeFont, DejaVuSansAsFreeTypeRendersIt) {
    auto font = TFreeTypeFont::Load(DejaVuSans, 24, FontStyle::Plain);
    ASSERT_TRUE(font);
    DirectFace direct(DejaVuSans, 24);
    const auto& metrics = direct.Face()->size->metrics;
    EXPECT_EQ(font->Height(), metrics.height >> 6);
    EXPECT_EQ(font->Ascend(), metrics.ascender >> 6);
    EXPECT_EQ(font->Descend(), metrics.descender >> 6);
    EXPECT_EQ(font->CountGlyphs(), direct.Face()->num_glyphs);
    EXPECT_EQ(font->Style(), FontStyle::Plain);
    for (char16_t c : std::u16string_view(u"AgjW.@\u00e9\u0416")) {
        SCOPED_TRACE(static_cast<int>(c));
        int index = font->CharToGlyph(c);
        ASSERT_EQ(index, static_cast<int>(FT_Get_Char_Index(direct.Face(), c)) - 1);
        auto glyph = As<TFreeTypeGlyph>(font->LoadGlyph(index));
        ASSERT_TRUE(glyph);
        EXPECT_EQ(font->LoadGlyph(index), glyph); // kept
        FT_GlyphSlot slot = direct.Render(index + 1);
        EXPECT_EQ(glyph->Advance(), static_cast<float>(slot->advance.x) / 64);
        EXPECT_EQ(RectOf(*glyph), (Rect{slot->bitmap_left, font->Ascend() - slot->bitmap_top,
                                        static_cast<int>(slot->bitmap.width),
                                        static_cast<int>(slot->bitmap.rows)}));
        ExpectPixels(slot->bitmap, glyph->pixels, 0);
        EXPECT_EQ(glyph->Pixels(), glyph->pixels);
    }
}

TEST(FreeTypeFont, GlyphsWithoutInkOrOutsideTheFont) {
    auto font = TFreeTypeFont::Load(DejaVuSans, 24, FontStyle::Plain);
    ASSERT_TRUE(font);
    auto space = GlyphOf(font, ' ');
    ASSERT_TRUE(space);
    EXPECT_GT(space->Advance(), 0);
    EXPECT_FALSE(space->Pixels());
    EXPECT_EQ(font->CharToGlyph(0x4E00), -1); // a CJK ideograph: not in DejaVu Sans
    EXPECT_EQ(font->CharToGlyph(-5), -1);
    for (int index : {-1, font->CountGlyphs(), INT_MAX, INT_MIN})
        EXPECT_FALSE(font->LoadGlyph(index)) << index;
    // The last entry stands for a glyph past the face's own: empty.
    auto last = As<TFreeTypeGlyph>(font->LoadGlyph(font->CountGlyphs() - 1));
    ASSERT_TRUE(last);
    EXPECT_FALSE(last->pixels);
    EXPECT_EQ(last->Advance(), 0);
    EXPECT_EQ(RectOf(*last), (Rect{0, 0, 0, 0}));
}

// Kerning as FreeType fits it, added between characters by TextWidth and
// counted in TextBounds; the built-in font has none. A 2D state without a
// window is enough: measuring text draws nothing.
TEST(FreeTypeFont, KerningPairsAndTextMetricsAsFreeTypeGivesThem) {
    auto font = LoadImageFont(DejaVuSans, 24);
    ASSERT_TRUE(font);
    DirectFace direct(DejaVuSans, 24);
    FT_Face face = direct.Face();
    ASSERT_TRUE(FT_HAS_KERNING(face));
    EXPECT_EQ(font->Ascend(), face->size->metrics.ascender >> 6);
    EXPECT_EQ(font->Descend(), face->size->metrics.descender >> 6);
    auto state = TVex2DGraphics::Create(nullptr, GLVex2DDriver());
    state->initialised = true;
    ActivateVex2D(state);
    SetImageFont(font);
    for (std::u16string_view pair : {u"AV", u"To", u"Wa"}) {
        SCOPED_TRACE(ToUtf8(String(pair)));
        FT_Vector kerning{};
        FT_Get_Kerning(face, FT_Get_Char_Index(face, pair[0]), FT_Get_Char_Index(face, pair[1]),
                       FT_KERNING_DEFAULT, &kerning);
        ASSERT_LT(kerning.x, 0);
        int left = font->CharToGlyph(pair[0]), right = font->CharToGlyph(pair[1]);
        EXPECT_EQ(font->Kerning(left, right), static_cast<float>(kerning.x) / 64);
        int apart = TextWidth(String(pair.substr(0, 1))) + TextWidth(String(pair.substr(1)));
        EXPECT_EQ(TextWidth(String(pair)), apart + (kerning.x >> 6));
        // The second glyph's ink ends where its pen, moved by the kerning, puts it.
        auto second = font->LoadGlyph(right);
        int x, y, w, h;
        TextBounds(String(pair), x, y, w, h);
        EXPECT_EQ(x + w, static_cast<int>(font->LoadGlyph(left)->advance) + (kerning.x >> 6) +
                             second->x + second->w);
    }
    int x, y, w, h;
    TextBounds(u" ", x, y, w, h);
    EXPECT_EQ(w + h, 0); // no ink
    SetImageFont(nullptr);
    auto builtIn = GetImageFont();
    EXPECT_EQ(builtIn->Kerning(builtIn->CharToGlyph('A'), builtIn->CharToGlyph('V')), 0);
    EXPECT_EQ(builtIn->Ascend() - builtIn->Descend(), builtIn->Height());
    TextBounds(u"AV", x, y, w, h);
    EXPECT_EQ(w, 16);
    ActivateVex2D(nullptr);
}

TEST(FreeTypeFont, SmoothStyleFramesEachGlyphInATransparentPixel) {
    auto plain = TFreeTypeFont::Load(DejaVuSans, 24, FontStyle::Plain);
    auto smooth = TFreeTypeFont::Load(DejaVuSans, 24, FontStyle::Smooth);
    ASSERT_TRUE(plain && smooth);
    EXPECT_EQ(smooth->Style(), FontStyle::Smooth);
    DirectFace direct(DejaVuSans, 24);
    for (char16_t c : std::u16string_view(u"A.j")) {
        SCOPED_TRACE(static_cast<int>(c));
        auto framed = GlyphOf(smooth, c);
        Rect inner = RectOf(*GlyphOf(plain, c));
        EXPECT_EQ(RectOf(*framed), (Rect{inner.x - 1, inner.y - 1, inner.w + 2, inner.h + 2}));
        ExpectPixels(direct.Render(smooth->CharToGlyph(c) + 1)->bitmap, framed->pixels, 1);
        auto& pixels = framed->pixels;
        for (int x = 0; x < pixels->Width(); ++x)
            ASSERT_EQ(*pixels->PixelPtr(x, 0) | *pixels->PixelPtr(x, pixels->Height() - 1), 0);
        for (int y = 0; y < pixels->Height(); ++y)
            ASSERT_EQ(*pixels->PixelPtr(0, y) | *pixels->PixelPtr(pixels->Width() - 1, y), 0);
    }
    EXPECT_FALSE(GlyphOf(smooth, ' ')->pixels);
    EXPECT_EQ(LoadImageFont(DejaVuSans, 24, FontStyle::Smooth)->imageFlags,
              ImageFlags::Filtered | ImageFlags::Mipmapped);
    EXPECT_EQ(LoadImageFont(DejaVuSans, 24)->imageFlags, ImageFlags::NoFlags);
}

// A bitmap-only face gives the largest of its sizes at or below the one asked
// for, with its one-bit pixels as 0 and 255.
TEST(FreeTypeFont, BitmapFaceFromBdf) {
    TempFolder folder;
    struct Case {
        const char* registry;
        int size;
        FontStyle style;
        bool loads;
    } cases[] = {
        {"ISO10646", TinySize, FontStyle::Plain, true},
        {"ISO10646", TinySize + 1, FontStyle::Plain, true},
        {"ISO10646", 4096, FontStyle::Smooth, true},
        {"ISO10646", TinySize - 1, FontStyle::Plain, false},
        {"FontSpecific", TinySize, FontStyle::Plain,
         true}, // mapped through the face's own encoding
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.registry) + " size " + std::to_string(c.size));
        std::string path = folder / (std::string(c.registry) + ".bdf");
        WriteFileText(path, TinyBdf(c.registry));
        auto font = TFreeTypeFont::Load(FromUtf8(path), c.size, c.style);
        ASSERT_EQ(bool(font), c.loads);
        if (!font) continue;
        EXPECT_EQ(font->Height(), TinySize);
        EXPECT_EQ(font->Ascend(), TinyAscent);
        EXPECT_EQ(font->Descend(), TinyAscent - TinySize);
        auto space = GlyphOf(font, ' ');
        ASSERT_TRUE(space);
        EXPECT_EQ(space->Advance(), 7);
        EXPECT_FALSE(space->pixels);
        auto a = GlyphOf(font, 'A');
        ASSERT_TRUE(a);
        EXPECT_EQ(a->Advance(), 8);
        int border = c.style == FontStyle::Smooth ? 1 : 0;
        EXPECT_EQ(RectOf(*a), (Rect{-border, TinyATop - border, TinyAWidth + 2 * border,
                                    TinyAHeight + 2 * border}));
        ASSERT_TRUE(a->pixels);
        for (int y = 0; y < a->h; ++y)
            for (int x = 0; x < a->w; ++x) {
                int column = x - border, row = y - border;
                bool inside = column >= 0 && column < TinyAWidth && row >= 0 && row < TinyAHeight;
                ASSERT_EQ(*a->pixels->PixelPtr(x, y), inside && TinyInk(column, row) ? 255 : 0)
                    << "at " << x << ", " << y;
            }
    }
}

// Two bits a pixel, packed four to a byte: levels 0-3 become 0, 85, 170, 255.
TEST(FreeTypeFont, PackedGreyLevelsSpreadOverTheAlphaRange) {
    TempFolder folder;
    WriteFileText(folder / "grey.bdf", "STARTFONT 2.1\nFONT -test-grey--12-1\nSIZE 12 75 75 2\n"
                                       "FONTBOUNDINGBOX 5 1 0 0\nSTARTPROPERTIES 3\nPIXEL_SIZE 12\n"
                                       "FONT_ASCENT 10\nFONT_DESCENT 2\nENDPROPERTIES\nCHARS 1\n"
                                       "STARTCHAR B\nENCODING 66\nSWIDTH 500 0\nDWIDTH 6 0\n"
                                       "BBX 5 1 0 0\nBITMAP\n1BC0\nENDCHAR\nENDFONT\n");
    auto font = TFreeTypeFont::Load(FromUtf8(folder / "grey.bdf"), 12, FontStyle::Plain);
    ASSERT_TRUE(font);
    auto b = GlyphOf(font, 'B');
    ASSERT_TRUE(b && b->pixels);
    ASSERT_EQ(RectOf(*b), (Rect{0, 9, 5, 1}));
    const int expected[] = {0, 85, 170, 255, 255};
    for (int x = 0; x < 5; ++x)
        EXPECT_EQ(*b->pixels->PixelPtr(x, 0), expected[x]) << x;
}

TEST(FreeTypeFont, SameGlyphsFromAPathAndFromMemory) {
    static const ByteArray bytes = DejaVuBytes();
    RegisterEmbedded(u"FontTestDejaVuSans.ttf", bytes.data(), static_cast<int>(bytes.size()));
    auto fromPath = TFreeTypeFont::Load(DejaVuSans, 24, FontStyle::Plain);
    ASSERT_TRUE(fromPath);
    const Url others[] = {Url(u"incbin::FontTestDejaVuSans.ttf"), Url(BankOf(bytes)),
                          Url(OpenReadStream(DejaVuSans))};
    for (const auto& url : others) {
        auto font = As<TFreeTypeFont>(LoadFont(url, 24)); // through the loader list
        ASSERT_TRUE(font);
        for (char16_t c : std::u16string_view(u"Hello")) {
            auto expected = GlyphOf(fromPath, c), glyph = GlyphOf(font, c);
            ASSERT_EQ(RectOf(*glyph), RectOf(*expected));
            ASSERT_EQ(glyph->advance, expected->advance);
            for (int y = 0; y < glyph->h; ++y)
                for (int x = 0; x < glyph->w; ++x)
                    ASSERT_EQ(*glyph->pixels->PixelPtr(x, y), *expected->pixels->PixelPtr(x, y));
        }
    }
}

TEST(FreeTypeFont, BadInputGivesNoFont) {
    TempFolder folder;
    ByteArray font = DejaVuBytes();
    ByteArray half(font.begin(), font.begin() + static_cast<long>(font.size() / 2));
    ByteArray header(font.begin(), font.begin() + 100);
    ByteArray text{'n', 'o', 't', ' ', 'a', ' ', 'f', 'o', 'n', 't'};
    WriteFileBytes(folder / "half.ttf", half);
    WriteFileBytes(folder / "text.ttf", text);
    WriteFileBytes(folder / "empty.ttf", {});
    String inFolder = FromUtf8(folder.Path()) + u"/";
    struct Case {
        const char* what;
        Url url;
        int size = 24;
    } cases[] = {
        {"truncated file", inFolder + u"half.ttf"},
        {"truncated in memory", BankOf(half)},
        {"only the header", BankOf(header)},
        {"text file", inFolder + u"text.ttf"},
        {"text in memory", BankOf(text)},
        {"empty file", inFolder + u"empty.ttf"},
        {"empty bank", CreateBank(0)},
        {"missing file", inFolder + u"missing.ttf"},
        {"missing resource", u"incbin::no such font"},
        {"lone surrogate in the path", String(DejaVuSans.begin(), DejaVuSans.end()) + u"\xD800"},
        {"0 byte in the path", String(DejaVuSans.begin(), DejaVuSans.end()) + String(1, u'\0')},
        {"no URL", Url()},
        {"size 0", DejaVuSans, 0},
        {"negative size", DejaVuSans, -24},
        {"size above 4096", DejaVuSans, 4097},
        {"huge size", DejaVuSans, INT_MAX},
    };
    for (const auto& c : cases) {
        EXPECT_FALSE(TFreeTypeFont::Load(c.url, c.size, FontStyle::Plain)) << c.what;
        EXPECT_FALSE(LoadImageFont(c.url, c.size)) << c.what;
    }
    EXPECT_TRUE(TFreeTypeFont::Load(DejaVuSans, 4096, FontStyle::Plain)); // the largest size
}

// Fonts may outlive the exit handlers (held by a static, or by the renderer):
// FreeType must be done only after the last of them.
TEST(FreeTypeFontDeathTest, LibraryOutlivesTheExitHandlersForTheFontsLeft) {
    EXPECT_EXIT(
        {
            auto font = TFreeTypeFont::Load(DejaVuSans, 24, FontStyle::Plain);
            RunExitHandlers();
            auto glyph = GlyphOf(font, 'A');
            bool rendered = glyph && glyph->pixels && glyph->w > 0;
            bool refused = !TFreeTypeFont::Load(DejaVuSans, 24, FontStyle::Plain);
            font.reset(); // the face, then the library
            std::_Exit(rendered && refused ? 0 : 1);
        },
        testing::ExitedWithCode(0), "");
}
