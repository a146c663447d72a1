#include "openers.hpp"

#include <cstdio>

namespace zandrel {

Ref<TStream> TTextStreamOpener::TryOpen(const Url&, const String& proto, const String& path,
                                        FileMode mode) {
    static const struct {
        const char16_t* proto;
        TextEncoding encoding;
    } protocols[] = {{u"latin1", TextEncoding::Latin1},
                     {u"utf8", TextEncoding::Utf8},
                     {u"utf16be", TextEncoding::Utf16BE},
                     {u"utf16le", TextEncoding::Utf16LE}};
    for (const auto& protocol : protocols) {
        if (proto != protocol.proto) continue;
        auto stream = OpenStream(path, mode);
        if (!stream) return nullptr;
        return CreateTextStream(stream, protocol.encoding);
    }
    return nullptr;
}

// Standard input reaches its end when the input does; the stream has no
// position, so that is the one place it can say so.
bool TStdioStream::Eof() {
    return std::feof(stdin) != 0;
}

bool TStdioStream::Flush() {
    return std::fflush(stdout) == 0;
}

int TStdioStream::Read(void* buf, int count) {
    if (count <= 0) return 0;
    return static_cast<int>(std::fread(buf, 1, static_cast<size_t>(count), stdin));
}

int TStdioStream::Write(const void* buf, int count) {
    if (count <= 0) return 0;
    return static_cast<int>(std::fwrite(buf, 1, static_cast<size_t>(count), stdout));
}

namespace {
Ref<TTextStream> standardText;
}

void StartStandardText() {
    standardText = CreateTextStream(New<TStdioStream>(), TextEncoding::Utf8);
}

const Ref<TTextStream>& StandardText() {
    return standardText;
}

void PrintLine(const String& text) {
    StandardText()->WriteLine(text);
    StandardText()->Flush();
}

String PromptLine(const String& prompt) {
    StandardText()->WriteString(prompt);
    StandardText()->Flush();
    return StandardText()->ReadLine();
}

} // namespace zandrel
