#include "openers.hpp"
#include "whole_url.hpp"

#include <utility>

namespace zandrel {

namespace {

const char hexDigits[] = "0123456789ABCDEF";

bool IsHighSurrogate(char16_t c) {
    return c >= 0xD800 && c <= 0xDBFF;
}

} // namespace

void TTextStream::WriteRawByte(int b) {
    Target().WriteByte(b);
}

void TTextStream::WriteChar(int c) {
    EndHexLineOut();
    int x = c & 0xFFFF;
    switch (encoding_) {
    case TextEncoding::Latin1:
        WriteRawByte(x & 0xFF);
        return;
    case TextEncoding::Utf16BE:
        WriteRawByte(x >> 8);
        WriteRawByte(x & 0xFF);
        return;
    case TextEncoding::Utf16LE:
        WriteRawByte(x & 0xFF);
        WriteRawByte(x >> 8);
        return;
    case TextEncoding::Utf8:
        break;
    }
    WriteUtf8Char(static_cast<char16_t>(x));
}

// A high surrogate waits for the low one that completes it.
void TTextStream::WriteUtf8Char(char16_t c) {
    String text;
    if (highSurrogateToWrite_) text.push_back(std::exchange(highSurrogateToWrite_, 0));
    if (IsHighSurrogate(c)) {
        if (!text.empty()) WriteUtf8(text);
        highSurrogateToWrite_ = c;
        return;
    }
    text.push_back(c);
    WriteUtf8(text);
}

void TTextStream::WriteUtf8(const String& text) {
    for (char byte : ToUtf8(text))
        WriteRawByte(static_cast<uint8_t>(byte));
}

void TTextStream::WriteHeldSurrogate() {
    if (highSurrogateToWrite_) WriteUtf8(String(1, std::exchange(highSurrogateToWrite_, 0)));
}

bool TTextStream::WriteLine(const String& text) {
    WriteString(text);
    WriteString(lineEnding_ == LineEnding::Lf ? u"\n" : u"\r\n");
    return true;
}

void TTextStream::WriteString(const String& text) {
    EndHexLineOut();
    for (char16_t c : text)
        WriteChar(c);
}

void TTextStream::WriteByte(int n) {
    WriteLine(FromInt(n));
}

void TTextStream::WriteShort(int n) {
    WriteLine(FromInt(n));
}

void TTextStream::WriteInt(int32_t n) {
    WriteLine(FromInt(n));
}

void TTextStream::WriteLong(int64_t n) {
    WriteLine(FromLong(n));
}

void TTextStream::WriteFloat(float f) {
    WriteLine(FromFloat(f));
}

void TTextStream::WriteDouble(double d) {
    WriteLine(FromDouble(d));
}

void TTextStream::EndHexLineOut() {
    if (hexCount_ == 0) return;
    hexCount_ = 0;
    WriteRawByte(13);
    WriteRawByte(10);
}

int TTextStream::Write(const void* buf, int count) {
    WriteHeldSurrogate();
    const auto* p = static_cast<const uint8_t*>(buf);
    for (int i = 0; i < count; ++i) {
        WriteRawByte(hexDigits[p[i] >> 4]);
        WriteRawByte(hexDigits[p[i] & 15]);
        if (++hexCount_ == TextHexLineBytes) EndHexLineOut();
    }
    return count;
}

void WriteTextTo(const String& text, const Url& url) {
    bool latin1 = true;
    for (char16_t c : text)
        latin1 = latin1 && c <= 255;
    if (latin1) return SaveByteString(text, url);
    std::string bytes = "\xFF\xFE";
    bytes.reserve(2 + text.size() * 2);
    for (char16_t c : text) {
        bytes += static_cast<char>(c & 0xFF);
        bytes += static_cast<char>(c >> 8);
    }
    SaveBlock(bytes.data(), bytes.size(), url);
}

} // namespace zandrel
