#include <zandrel/runtime.hpp>

namespace zandrel {

namespace {

bool IsHighSurrogate(char32_t c) {
    return c >= 0xD800 && c <= 0xDBFF;
}
bool IsLowSurrogate(char32_t c) {
    return c >= 0xDC00 && c <= 0xDFFF;
}

void AppendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out.push_back(static_cast<char>(c));
    } else if (c < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (c >> 6)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (c >> 12)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (c >> 18)));
        out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
}

// Encodes the text; a lone surrogate becomes `replacement`, or ends the
// encoding with false when there is none.
bool EncodeUtf8(const String& text, std::string& out, const char32_t* replacement) {
    out.clear();
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        char32_t c = text[i];
        if (IsHighSurrogate(c) && i + 1 < text.size() && IsLowSurrogate(text[i + 1])) {
            c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
        } else if (IsHighSurrogate(c) || IsLowSurrogate(c)) {
            if (!replacement) return false;
            c = *replacement;
        }
        AppendUtf8(out, c);
    }
    return true;
}

} // namespace

void AppendCodePoint(String& text, char32_t c) {
    if (c < 0x10000) {
        text.push_back(static_cast<char16_t>(c));
    } else {
        c -= 0x10000;
        text.push_back(static_cast<char16_t>(0xD800 + (c >> 10)));
        text.push_back(static_cast<char16_t>(0xDC00 + (c & 0x3FF)));
    }
}

char32_t Utf8Decoder::Next(const std::function<int()>& nextByte) {
    int lead = pending_ >= 0 ? pending_ : nextByte();
    pending_ = -1;
    if (lead < 0) return EndOfInput;
    if (lead < 0x80) return static_cast<char32_t>(lead);

    int extra;
    char32_t c;
    // The second byte's range excludes overlong forms, surrogates and values
    // above U+10FFFF, so those are ill-formed at their first continuation.
    int low = 0x80, high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        extra = 1;
        c = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        extra = 2;
        c = lead & 0x0F;
        if (lead == 0xE0) low = 0xA0;
        if (lead == 0xED) high = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        extra = 3;
        c = lead & 0x07;
        if (lead == 0xF0) low = 0x90;
        if (lead == 0xF4) high = 0x8F;
    } else {
        return Replacement;
    }
    for (int i = 0; i < extra; ++i) {
        int b = nextByte();
        if (b < low || b > high) {
            // The byte that cannot continue the sequence starts the next one.
            pending_ = b;
            return Replacement;
        }
        low = 0x80;
        high = 0xBF;
        c = (c << 6) | static_cast<char32_t>(b & 0x3F);
    }
    return c;
}

std::string ToUtf8(const String& text) {
    static constexpr char32_t replacement = Utf8Decoder::Replacement;
    std::string out;
    EncodeUtf8(text, out, &replacement);
    return out;
}

std::optional<std::string> ToUtf8Exact(const String& text) {
    std::string out;
    if (!EncodeUtf8(text, out, nullptr)) return std::nullopt;
    return out;
}

std::optional<std::string> ToOsName(const String& name) {
    auto bytes = ToUtf8Exact(name);
    // The OS reads a name up to its first 0: the rest would be dropped.
    if (bytes && bytes->find('\0') != std::string::npos) return std::nullopt;
    return bytes;
}

String FromUtf8(std::string_view bytes) {
    String text;
    text.reserve(bytes.size());
    size_t pos = 0;
    auto nextByte = [&]() -> int {
        return pos < bytes.size() ? static_cast<uint8_t>(bytes[pos++]) : -1;
    };
    Utf8Decoder decoder;
    for (char32_t c; (c = decoder.Next(nextByte)) != Utf8Decoder::EndOfInput;)
        AppendCodePoint(text, c);
    return text;
}

} // namespace zandrel
