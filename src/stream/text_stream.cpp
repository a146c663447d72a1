#include "openers.hpp"
#include "whole_url.hpp"

#include <utility>

namespace zandrel {

namespace {

int HexValue(int digit) {
    if (digit >= '0' && digit <= '9') return digit - '0';
    if (digit >= 'A' && digit <= 'F') return digit - 'A' + 10;
    if (digit >= 'a' && digit <= 'f') return digit - 'a' + 10;
    throw RuntimeError("Malformed hexadecimal digit");
}

} // namespace

// A character still held is written as it stands; an error on the way out
// has nobody to report to.
TTextStream::~TTextStream() {
    try {
        if (inner_) WriteHeldSurrogate();
    } catch (const RuntimeError&) {
    }
}

int TTextStream::ReadRawByte() {
    return Target().ReadByte();
}

int TTextStream::ReadChar() {
    EndHexLineIn();
    switch (encoding_) {
    case TextEncoding::Latin1:
        return ReadRawByte();
    case TextEncoding::Utf16BE: {
        int a = ReadRawByte();
        return a * 256 + ReadRawByte();
    }
    case TextEncoding::Utf16LE: {
        int a = ReadRawByte();
        return a + ReadRawByte() * 256;
    }
    case TextEncoding::Utf8:
        break;
    }
    return ReadUtf8Char();
}

int TTextStream::ReadUtf8Char() {
    if (lowSurrogateToRead_) return std::exchange(lowSurrogateToRead_, 0);
    char32_t c = decoder_.Next([this] { return Target().Eof() ? -1 : ReadRawByte(); });
    if (c == Utf8Decoder::EndOfInput) return 0;
    if (c < 0x10000) return static_cast<int>(c);
    String pair;
    AppendCodePoint(pair, c);
    lowSurrogateToRead_ = pair[1];
    return pair[0];
}

bool TTextStream::Eof() {
    return !lowSurrogateToRead_ && !decoder_.HoldsByte() && Target().Eof();
}

int TTextStream::Seek(int pos) {
    WriteHeldSurrogate();
    lowSurrogateToRead_ = 0;
    decoder_ = Utf8Decoder();
    return Target().Seek(pos);
}

bool TTextStream::Flush() {
    WriteHeldSurrogate();
    return Target().Flush();
}

bool TTextStream::Close() {
    WriteHeldSurrogate();
    return Target().Close();
}

String TTextStream::ReadAllText() {
    String text;
    while (!Eof())
        text.push_back(static_cast<char16_t>(ReadChar()));
    return text;
}

String TTextStream::ReadLine() {
    String line;
    line.reserve(1024);
    while (!Eof()) {
        int c = ReadChar();
        if (c == 0 || c == 10) break;
        if (c != 13) line.push_back(static_cast<char16_t>(c));
    }
    return line;
}

String TTextStream::ReadString(int count) {
    String text;
    for (int i = 0; i < count; ++i)
        text.push_back(static_cast<char16_t>(ReadChar()));
    return text;
}

int TTextStream::ReadByte() {
    return ToInt(ReadLine());
}

int TTextStream::ReadShort() {
    return ToInt(ReadLine());
}

int32_t TTextStream::ReadInt() {
    return ToInt(ReadLine());
}

int64_t TTextStream::ReadLong() {
    return ToLong(ReadLine());
}

float TTextStream::ReadFloat() {
    return ToFloat(ReadLine());
}

double TTextStream::ReadDouble() {
    return ToDouble(ReadLine());
}

void TTextStream::EndHexLineIn() {
    if (hexCount_ == 0) return;
    hexCount_ = 0;
    int b = ReadRawByte();
    if (b == 13) b = ReadRawByte();
    if (b != 10) throw RuntimeError("Malformed line terminator");
}

// Raw bytes stop early only at the end of the inner stream.
int TTextStream::Read(void* buf, int count) {
    auto* p = static_cast<uint8_t*>(buf);
    for (int i = 0; i < count; ++i) {
        if (hexCount_ == TextHexLineBytes) EndHexLineIn();
        if (Target().Eof()) return i;
        int high = HexValue(ReadRawByte());
        int low = HexValue(ReadRawByte());
        p[i] = static_cast<uint8_t>(high * 16 + low);
        ++hexCount_;
    }
    return count;
}

Ref<TTextStream> TTextStream::CreateTextStream(Ref<TStream> stream, TextEncoding encoding) {
    auto text = New<TTextStream>();
    text->SetInner(std::move(stream));
    text->encoding_ = encoding;
    return text;
}

Ref<TTextStream> CreateTextStream(Ref<TStream> stream, TextEncoding encoding) {
    return TTextStream::CreateTextStream(std::move(stream), encoding);
}

String ReadTextFrom(const Url& url) {
    auto stream = OpenOrThrow(url, FileMode::Read);
    uint8_t head[3];
    int got = 0;
    auto next = [&] { return stream->Read(&head[got], 1) == 1 && ++got; };
    TextEncoding marked = TextEncoding::Latin1;
    if (next()) {
        if (head[0] == 254 && next() && head[1] == 255)
            marked = TextEncoding::Utf16BE;
        else if (head[0] == 255 && next() && head[1] == 254)
            marked = TextEncoding::Utf16LE;
        else if (head[0] == 239 && next() && head[1] == 187 && next() && head[2] == 191)
            marked = TextEncoding::Utf8;
    }
    String text;
    if (marked != TextEncoding::Latin1) {
        auto textStream = CreateTextStream(stream, marked);
        text = textStream->ReadAllText();
        textStream->Close();
    } else {
        ByteArray rest = ReadRemainingBytes(*stream);
        text = FromBytes(head, static_cast<size_t>(got)) + FromBytes(rest.data(), rest.size());
    }
    stream->Close();
    return text;
}

} // namespace zandrel
