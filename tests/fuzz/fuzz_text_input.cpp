#include "fuzz_text_input.hpp"

#include <cstdio>
#include <cstdlib>
#include <sys/stat.h>
#include <unistd.h>

namespace zandrel::fuzz {

namespace {

// Made below the scratch folder, folders first; removed in reverse order.
const char* const scratchEntries[] = {"Mixed/", "Mixed/Inner/",   "empty/",
                                      "a.txt",  "Mixed/Case.TXT", "Mixed/Inner/deep.bin"};

std::string scratchFolder;

void RemoveScratchFolder() {
    for (int i = static_cast<int>(std::size(scratchEntries)) - 1; i >= 0; --i)
        std::remove((scratchFolder + "/" + scratchEntries[i]).c_str());
    std::remove(scratchFolder.c_str());
}

bool IsPathByte(char16_t c) {
    return c == u'/' || c == u'\\' || c == u'.' || c == 0;
}

} // namespace

String TextFromBytes(const uint8_t* data, size_t size, bool utf16) {
    if (!utf16) return FromUtf8(std::string_view(reinterpret_cast<const char*>(data), size));
    String text;
    for (size_t i = 0; i + 1 < size; i += 2)
        text += static_cast<char16_t>(data[i] | data[i + 1] << 8);
    return text;
}

void EnterScratchFolder() {
    if (!scratchFolder.empty()) return;
    const char* base = std::getenv("TMPDIR");
    std::string pattern = std::string(base && *base ? base : "/tmp") + "/zandrel-fuzz-XXXXXX";
    if (!mkdtemp(pattern.data()) || chdir(pattern.c_str()) != 0) std::abort();
    scratchFolder = pattern;
    for (std::string entry : scratchEntries) {
        if (entry.back() == '/') {
            mkdir(entry.c_str(), 0700);
        } else if (FILE* file = std::fopen(entry.c_str(), "wb")) {
            std::fputs("line one\r\nline two\n0A1B2C\r\n", file);
            std::fclose(file);
        }
    }
    std::atexit(RemoveScratchFolder);
}

bool StaysInCurrentFolder(const String& text) {
    std::u16string low;
    for (char16_t c : text) {
        char16_t byte = c & 0xFF;
        if (c > 0x7F && IsPathByte(byte)) return false;
        low += byte == u'\\' ? u'/' : byte;
    }
    if (low.find(u"..") != String::npos) return false;
    for (size_t start = 0; start != String::npos;) {
        if (start < low.size() && low[start] == u'/') return false;
        size_t split = text.find(u"::", start);
        start = split == String::npos ? split : split + 2;
    }
    return true;
}

} // namespace zandrel::fuzz
