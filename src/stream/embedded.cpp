#include "openers.hpp"

namespace zandrel {

namespace {

struct EmbeddedEntry {
    const EmbeddedEntry* next;
    String name;
    const void* data;
    int size;
};

const EmbeddedEntry* embeddedHead = nullptr;

const EmbeddedEntry* FindEmbedded(const String& name) {
    for (auto* entry = embeddedHead; entry; entry = entry->next)
        if (entry->name == name) return entry;
    return nullptr;
}

} // namespace

bool RegisterEmbedded(const String& name, const void* data, int size) {
    if (FindEmbedded(name)) return false;
    embeddedHead = new EmbeddedEntry{embeddedHead, name, data, size};
    return true;
}

const void* EmbeddedData(const String& name) {
    auto* entry = FindEmbedded(name);
    return entry ? entry->data : nullptr;
}

int EmbeddedSize(const String& name) {
    auto* entry = FindEmbedded(name);
    return entry ? entry->size : 0;
}

Ref<TStream> TIncbinOpener::TryOpen(const Url&, const String& proto, const String& path,
                                    FileMode mode) {
    if (proto != u"incbin") return nullptr;
    bool writeable(mode & FileMode::Write);
    auto* entry = writeable ? nullptr : FindEmbedded(path);
    if (!entry) {
        SetLoadError(writeable ? S("embedded resources cannot be written")
                               : u"no embedded resource '" + path + u"'");
        return nullptr;
    }
    return CreateMemoryStream(const_cast<void*>(entry->data), entry->size, FileMode::Read);
}

} // namespace zandrel
