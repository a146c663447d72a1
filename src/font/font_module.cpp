#include "font_parts.hpp"

namespace zandrel {

Ref<TFont> TFreeTypeFontLoader::LoadFont(const Url& url, int size, FontStyle style) {
    if (url.Text().empty() && !url.AsObject()) return nullptr;
    return TFreeTypeFont::Load(url, size, style);
}

void StartFontModule() {
    static bool started = false;
    RunOnce(started, [] {
        StartStreamModule();
        StartPixmapModule();
        StartVex2DModule();
        AddFontLoader(New<TFreeTypeFontLoader>());
    });
}

} // namespace zandrel
