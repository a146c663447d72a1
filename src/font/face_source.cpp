#include "font_parts.hpp"

#include <optional>

namespace zandrel {

namespace {

// "::" after at least one character, or "://", names a protocol; the rest
// are paths.
bool IsPlainPath(const Url& url) {
    if (url.AsObject() || url.Text().find(u"://") != String::npos) return false;
    auto split = url.Text().find(u"::");
    return split == String::npos || split == 0;
}

// As a file stream opens it: a backslash separates too.
std::optional<std::string> NativePath(String path) {
    for (auto& c : path)
        if (c == u'\\') c = u'/';
    return ToOsName(path);
}

ByteArray ReadWhole(const Url& url) {
    try {
        return LoadBytes(url);
    } catch (const RuntimeError&) {
        return {};
    }
}

} // namespace

FT_Face OpenFace(FT_Library library, const Url& url, ByteArray& data) {
    FT_Face face = nullptr;
    int opened = 0;
    if (IsPlainPath(url)) {
        auto path = NativePath(url.Text());
        // FreeType opens the file itself; a stream is asked only to say why not.
        if (!path || PathKind(url.Text()) != FileKind::Regular) {
            OpenReadStream(url);
            return nullptr;
        }
        opened = FT_New_Face(library, path->c_str(), 0, &face);
    } else {
        data = ReadWhole(url);
        if (data.empty()) return nullptr;
        opened =
            FT_New_Memory_Face(library, data.data(), static_cast<FT_Long>(data.size()), 0, &face);
    }
    if (opened != 0) {
        RefusedAs("a font file FreeType can read");
        return nullptr;
    }
    return face;
}

} // namespace zandrel
