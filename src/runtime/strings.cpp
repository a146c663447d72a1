#include "number_text.hpp"

#include <zandrel/runtime.hpp>

#include <charconv>
#include <cstdlib>
#include <cstring>

namespace zandrel {

String Object::ToString() const {
    return S("Object");
}

std::string ToBytes(const String& text) {
    std::string bytes(text.size(), '\0');
    for (size_t i = 0; i < text.size(); ++i)
        bytes[i] = static_cast<char>(text[i] & 0xFF);
    return bytes;
}

String FromBytes(const void* bytes, size_t count) {
    const auto* p = static_cast<const uint8_t*>(bytes);
    String text(count, u'\0');
    for (size_t i = 0; i < count; ++i)
        text[i] = p[i];
    return text;
}

String FromBytes(std::string_view bytes) {
    return FromBytes(bytes.data(), bytes.size());
}

String ToLowerAscii(String text) {
    for (auto& c : text)
        if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c + 32);
    return text;
}

namespace {

template <class T> String FormatNumber(T value) {
    char buf[64];
    auto result = std::to_chars(buf, buf + sizeof buf, value);
    return FromBytes(std::string_view(buf, static_cast<size_t>(result.ptr - buf)));
}

// Characters beyond one byte cannot belong to a number; they end the text.
std::string NumberBytes(const String& text) {
    std::string bytes;
    bytes.reserve(text.size());
    for (char16_t c : text) {
        if (c > 0x7F) break;
        bytes.push_back(static_cast<char>(c));
    }
    return bytes;
}

} // namespace

String FromInt(int32_t value) {
    return FormatNumber(value);
}
String FromLong(int64_t value) {
    return FormatNumber(value);
}
String FromFloat(float value) {
    return FromBytes(native::ShortestText(value));
}
String FromDouble(double value) {
    return FromBytes(native::ShortestText(value));
}

// The leading number of the text, as strtoll reads it; 0 when there is none.
int64_t ToLong(const String& text) {
    std::string bytes = NumberBytes(text);
    return std::strtoll(bytes.c_str(), nullptr, 10);
}

int32_t ToInt(const String& text) {
    return static_cast<int32_t>(ToLong(text));
}

double ToDouble(const String& text) {
    std::string bytes = NumberBytes(text);
    return std::strtod(bytes.c_str(), nullptr);
}

float ToFloat(const String& text) {
    return static_cast<float>(ToDouble(text));
}

} // namespace zandrel
