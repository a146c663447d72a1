#include "openers.hpp"
#include "whole_url.hpp"

#include <utility>

namespace zandrel {

namespace {

const char hexDigits[] = "0123456789ABCDEF";

int HexValue(int digit) {
    if (digit >= '0' && digit <= '9') return digit - '0';
    if (digit >= 'A' && digit <= 'F') return digit - 'A' + 10;
    if (digit >= 'a' && digit <= 'f') return digit - 'a' + 10;
    throw RuntimeError("Malformed hexadecimal digit");
}

constexpr int hexLineBytes = 32;

bool IsHighSurrogate(char16_t c) {
    return c >= 0xD800 && c <= 0xDBFF;
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
void TTextStream::WriteRawByte(int b) {
    Target().WriteByte(b);
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

bool TTextStream::Eof() {
    return !lowSurrogateToRead_ && !decoder_.HoldsByte() && Target().Eof();
}

int TTextStream::Seek(int pos) {
    WriteHeldSurrogate();
    lowSurrogateToRead_ = 0;
    decoder_ = Utf8Decoder();
    return Target().Seek(pos);
}

int TTextStream::Flush() {
    WriteHeldSurrogate();
    return Target().Flush();
}

int TTextStream::Close() {
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

bool TTextStream::WriteLine(const String& text) {
    WriteString(text);
    WriteString(u"\r\n");
    return true;
}

String TTextStream::ReadString(int count) {
    String text;
    for (int i = 0; i < count; ++i)
        text.push_back(static_cast<char16_t>(ReadChar()));
    return text;
}

void TTextStream::WriteString(const String& text) {
    EndHexLineOut();
    for (char16_t c : text)
        WriteChar(c);
}

int TTextStream::ReadByte() {
    return ToInt(ReadLine());
}
void TTextStream::WriteByte(int n) {
    WriteLine(FromInt(n));
}
int TTextStream::ReadShort() {
    return ToInt(ReadLine());
}
void TTextStream::WriteShort(int n) {
    WriteLine(FromInt(n));
}
int32_t TTextStream::ReadInt() {
    return ToInt(ReadLine());
}
void TTextStream::WriteInt(int32_t n) {
    WriteLine(FromInt(n));
}
int64_t TTextStream::ReadLong() {
    return ToLong(ReadLine());
}
void TTextStream::WriteLong(int64_t n) {
    WriteLine(FromLong(n));
}
float TTextStream::ReadFloat() {
    return ToFloat(ReadLine());
}
void TTextStream::WriteFloat(float f) {
    WriteLine(FromFloat(f));
}
double TTextStream::ReadDouble() {
    return ToDouble(ReadLine());
}
void TTextStream::WriteDouble(double d) {
    WriteLine(FromDouble(d));
}

void TTextStream::EndHexLineIn() {
    if (hexCount_ == 0) return;
    hexCount_ = 0;
    int b = ReadRawByte();
    if (b == 13) b = ReadRawByte();
    if (b != 10) throw RuntimeError("Malformed line terminator");
}

void TTextStream::EndHexLineOut() {
    if (hexCount_ == 0) return;
    hexCount_ = 0;
    WriteRawByte(13);
    WriteRawByte(10);
}

// Raw bytes stop early only at the end of the inner stream.
int TTextStream::Read(void* buf, int count) {
    auto* p = static_cast<uint8_t*>(buf);
    for (int i = 0; i < count; ++i) {
        if (hexCount_ == hexLineBytes) EndHexLineIn();
        if (Target().Eof()) return i;
        int high = HexValue(ReadRawByte());
        int low = HexValue(ReadRawByte());
        p[i] = static_cast<uint8_t>(high * 16 + low);
        ++hexCount_;
    }
    return count;
}

int TTextStream::Write(const void* buf, int count) {
    WriteHeldSurrogate();
    const auto* p = static_cast<const uint8_t*>(buf);
    for (int i = 0; i < count; ++i) {
        WriteRawByte(hexDigits[p[i] >> 4]);
        WriteRawByte(hexDigits[p[i] & 15]);
        if (++hexCount_ == hexLineBytes) EndHexLineOut();
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

Ref<TStream> TTextStreamOpener::TryOpen(const Url&, const String& proto, const String& path,
                                        bool readable, bool writeable) {
    static const struct {
        const char16_t* proto;
        TextEncoding encoding;
    } protocols[] = {{u"latin1", TextEncoding::Latin1},
                     {u"utf8", TextEncoding::Utf8},
                     {u"utf16be", TextEncoding::Utf16BE},
                     {u"utf16le", TextEncoding::Utf16LE}};
    for (const auto& protocol : protocols) {
        if (proto != protocol.proto) continue;
        auto stream = OpenStream(path, readable, writeable);
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

int TStdioStream::Flush() {
    return std::fflush(stdout);
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

String ReadTextFrom(const Url& url) {
    auto stream = OpenOrThrow(url, true, false);
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
