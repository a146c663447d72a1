#include "vex2d_parts.hpp"

namespace zandrel {

namespace {

Ref<TFontLoader>& FirstFontLoader() {
    static auto* head = new Ref<TFontLoader>;
    return *head;
}

bool Listed(const Ref<TFontLoader>& loader) {
    for (auto* entry = FirstFontLoader().get(); entry; entry = entry->next.get())
        if (entry == loader.get()) return true;
    return false;
}

} // namespace

Ref<Object> TGlyph::Pixels() {
    ThrowAbstract();
}
float TGlyph::Advance() {
    ThrowAbstract();
}
void TGlyph::GetRect(int&, int&, int&, int&) {
    ThrowAbstract();
}

FontStyle TFont::Style() {
    ThrowAbstract();
}
int TFont::Height() {
    ThrowAbstract();
}
int TFont::CountGlyphs() {
    ThrowAbstract();
}
int TFont::CharToGlyph(int) {
    ThrowAbstract();
}
Ref<TGlyph> TFont::LoadGlyph(int) {
    ThrowAbstract();
}
int TFont::Ascend() {
    return Height();
}
int TFont::Descend() {
    return 0;
}
float TFont::Kerning(int, int) {
    return 0;
}

Ref<TFont> TFontLoader::LoadFont(const Url&, int, FontStyle) {
    ThrowAbstract();
}

// Asking only whether `next` is set would let the last loader of the list be
// added again, closing the list into a ring.
void AddFontLoader(const Ref<TFontLoader>& loader) {
    if (!loader || loader->next || Listed(loader)) return;
    loader->next = FirstFontLoader();
    FirstFontLoader() = loader;
}

Ref<TFont> LoadFont(const Url& url, int size, FontStyle style) {
    for (auto* loader = FirstFontLoader().get(); loader; loader = loader->next.get())
        if (auto font = loader->LoadFont(url, size, style)) return font;
    return nullptr;
}

} // namespace zandrel
