// The path-text functions on arbitrary text, and the ones that look at the
// file system (kind, size, listing, finding a path whatever its case) on
// text that stays inside a scratch folder.
#include "fuzz_text_input.hpp"

#include <zandrel/stream.hpp>

#include <cstdint>

using namespace zandrel;

namespace {

// ResolvePath's answer has no "." or ".." parts left in it.
void CheckResolved(const String& resolved) {
    if (resolved == u"<bad_dir>") return;
    String parts = resolved + u'/';
    for (size_t start = 0, slash; (slash = parts.find(u'/', start)) != String::npos;
         start = slash + 1) {
        String part = parts.substr(start, slash - start);
        if (part == u"." || part == u"..") __builtin_trap();
    }
}

void TextFunctions(const String& text) {
    String path = text;
    NormalizePath(path, text.size() & 1);
    TrimTrailingSlash(path);
    volatile size_t sink = FileNamePart(text).size() + WithoutExtension(text).size() +
                           BaseNamePart(text).size() + ExtensionPart(text).size() +
                           FolderPart(text).size();
    (void)sink;
    CheckResolved(ResolvePath(text));
}

void FileSystemFunctions(const String& text) {
    volatile int64_t sink = static_cast<int>(PathKind(text)) + FileByteSize(text) +
                            FileModifiedTime(text) + FilePermissions(text) +
                            static_cast<int64_t>(ListFolder(text).size());
    (void)sink;
    String found = FindCasedPath(text);
    // What it finds is there.
    if (!found.empty() && PathKind(found) == FileKind::NoFile) __builtin_trap();
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    StartStreamModule();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::EnterScratchFolder();
    if (size < 1 || size > 4096) return 0;
    String text = fuzz::TextFromBytes(data + 1, size - 1, data[0] & 1);
    TextFunctions(text);
    if (fuzz::StaysInCurrentFolder(text)) FileSystemFunctions(text);
    return 0;
}
