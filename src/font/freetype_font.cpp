#include "font_parts.hpp"

#include FT_OUTLINE_H

namespace zandrel {

namespace {

constexpr int MaxPixelSize = 4096;
// Far above any real face (OpenType stops at 65535); keeps a damaged count
// from reserving gigabytes for the glyph array.
constexpr FT_Long MaxGlyphCount = 1 << 20;

// The largest pixel size from `size` down that the face accepts, 0 for none:
// a bitmap-only face offers a few sizes and refuses the rest.
int SetLargestPixelSize(FT_Face face, int size) {
    for (int n = size; n > 0; --n)
        if (FT_Set_Pixel_Sizes(face, 0, static_cast<FT_UInt>(n)) == 0) return n;
    return 0;
}

// A damaged or hostile face can give an outline far larger than its pixel
// size, whose bitmap alone would exhaust memory; it is measured before
// FreeType renders it.
bool FitsRenderLimit(FT_GlyphSlot slot, int pixelSize) {
    if (slot->format != FT_GLYPH_FORMAT_OUTLINE) return true;
    FT_BBox box;
    FT_Outline_Get_CBox(&slot->outline, &box);
    int64_t side = int64_t{8} * pixelSize + 64;
    int64_t width = (box.xMax - box.xMin) / 64 + 2, height = (box.yMax - box.yMin) / 64 + 2;
    return width <= side && height <= side && PixmapFits(width, height, PixelFormat::FormatA8);
}

int Pixels26Dot6(FT_Pos value) {
    return static_cast<int>(value >> 6);
}

} // namespace

TFreeTypeFont::Face::~Face() {
    if (handle) FT_Done_Face(handle);
}

void TFreeTypeGlyph::GetRect(int& rx, int& ry, int& rw, int& rh) {
    rx = x;
    ry = y;
    rw = w;
    rh = h;
}

TFreeTypeFont::TFreeTypeFont(std::unique_ptr<Face> face, FontStyle style)
    : face_(std::move(face)), style_(style) {
    const auto& metrics = face_->handle->size->metrics;
    height_ = Pixels26Dot6(metrics.height);
    ascend_ = Pixels26Dot6(metrics.ascender);
    descend_ = Pixels26Dot6(metrics.descender);
    glyphs_.resize(static_cast<size_t>(face_->handle->num_glyphs));
}

TFreeTypeFont::~TFreeTypeFont() = default;

Ref<TFreeTypeFont> TFreeTypeFont::Load(const Url& url, int size, FontStyle style) {
    if (size <= 0 || size > MaxPixelSize) return nullptr;
    auto face = std::make_unique<Face>();
    face->library = SharedFreeTypeLibrary();
    if (!face->library) return nullptr;
    face->handle = OpenFace(face->library->Handle(), url, face->data);
    if (!face->handle || face->handle->num_glyphs < 0 || face->handle->num_glyphs > MaxGlyphCount)
        return nullptr;
    // A face without a Unicode map still maps characters through its own.
    if (!face->handle->charmap && face->handle->num_charmaps > 0)
        FT_Set_Charmap(face->handle, face->handle->charmaps[0]);
    face->pixelSize = SetLargestPixelSize(face->handle, size);
    if (face->pixelSize == 0) return nullptr;
    return Ref<TFreeTypeFont>(new TFreeTypeFont(std::move(face), style));
}

int TFreeTypeFont::CharToGlyph(int character) {
    if (character < 0) return -1;
    return static_cast<int>(FT_Get_Char_Index(face_->handle, static_cast<FT_ULong>(character))) - 1;
}

Ref<TGlyph> TFreeTypeFont::LoadGlyph(int index) {
    if (index < 0 || index >= CountGlyphs()) return nullptr;
    auto& glyph = glyphs_[static_cast<size_t>(index)];
    if (!glyph) glyph = RenderGlyph(index);
    return glyph;
}

float TFreeTypeFont::Kerning(int left, int right) {
    FT_Face face = face_->handle;
    if (!FT_HAS_KERNING(face) || left < 0 || right < 0 || left >= CountGlyphs() ||
        right >= CountGlyphs())
        return 0;
    FT_Vector kerning{};
    if (FT_Get_Kerning(face, static_cast<FT_UInt>(left) + 1, static_cast<FT_UInt>(right) + 1,
                       FT_KERNING_DEFAULT, &kerning) != 0)
        return 0;
    return static_cast<float>(kerning.x) / 64;
}

// FT_LOAD_RENDER split in its two steps, so that the outline can be measured
// in between.
Ref<TFreeTypeGlyph> TFreeTypeFont::RenderGlyph(int index) {
    auto glyph = New<TFreeTypeGlyph>();
    FT_Face face = face_->handle;
    FT_GlyphSlot slot = face->glyph;
    if (FT_Load_Glyph(face, static_cast<FT_UInt>(index) + 1, FT_LOAD_DEFAULT) != 0 ||
        !FitsRenderLimit(slot, face_->pixelSize) ||
        FT_Render_Glyph(slot, FT_RENDER_MODE_NORMAL) != 0)
        return glyph;
    glyph->advance = static_cast<float>(slot->advance.x) / 64;
    glyph->x = slot->bitmap_left;
    glyph->y = ascend_ - slot->bitmap_top;
    glyph->w = static_cast<int>(slot->bitmap.width);
    glyph->h = static_cast<int>(slot->bitmap.rows);
    int border = (style_ & FontStyle::Smooth) ? 1 : 0;
    glyph->pixels = GlyphPixmap(face_->library->Handle(), slot->bitmap, border);
    if (glyph->pixels) {
        glyph->x -= border;
        glyph->y -= border;
        glyph->w = glyph->pixels->Width();
        glyph->h = glyph->pixels->Height();
    }
    return glyph;
}

} // namespace zandrel
