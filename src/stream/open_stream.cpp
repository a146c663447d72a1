#include <zandrel/stream.hpp>

#include <algorithm>

namespace zandrel {

Ref<TStream> TStreamOpener::TryOpen(const Url&, const String&, const String&, FileMode) {
    ThrowAbstract();
}

TStreamOpener* FirstStreamOpener() {
    return Registered<TStreamOpener>::First();
}

namespace {

// "http://host/path", the form people type, names the same as "http::host/path".
// Letters first, then letters, digits, "+", "-" or ".", as in any URL scheme.
size_t SchemeLength(const String& text) {
    auto mark = text.find(u"://");
    if (mark == String::npos || mark == 0) return String::npos;
    for (size_t i = 0; i < mark; ++i) {
        char16_t c = text[i];
        bool letter = (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z');
        bool other = (c >= u'0' && c <= u'9') || c == u'+' || c == u'-' || c == u'.';
        if (!letter && !(i > 0 && other)) return String::npos;
    }
    return mark;
}

Ref<TStream> AskOpeners(const Url& url, const String& proto, const String& path, FileMode mode) {
    for (auto* opener = FirstStreamOpener(); opener; opener = opener->Next())
        if (auto stream = opener->TryOpen(url, proto, path, mode)) return stream;
    // Openers that know the protocol say why they failed; silence means none knew it.
    if (LastLoadError().empty())
        SetLoadError(url.AsObject()  ? S("no opener takes this object")
                     : proto.empty() ? S("no file name")
                                     : u"unknown protocol '" + proto + u"'");
    return nullptr;
}

} // namespace

Ref<TStream> OpenStream(const Url& url, FileMode mode) {
    SetLoadError(String());
    if (auto stream = url.As<TStream>()) return TBorrowedStream::Create(stream);
    const String& text = url.Text();
    auto split = text.find(u"::");
    size_t skip = 2;
    if (split == String::npos && (split = SchemeLength(text)) != String::npos) skip = 3;
    if (!text.empty() && split == String::npos) return TFileStream::OpenPath(text, mode);
    String proto, path;
    if (split != String::npos) {
        proto = ToLowerAscii(text.substr(0, split));
        path = text.substr(split + skip);
    }
    return AskOpeners(url, proto, path, mode);
}

Ref<TStream> OpenReadStream(const Url& url) {
    return OpenStream(url, FileMode::Read);
}
Ref<TStream> OpenWriteStream(const Url& url) {
    return OpenStream(url, FileMode::Write);
}

bool Eof(const Ref<TStream>& stream) {
    return stream->Eof();
}
int Pos(const Ref<TStream>& stream) {
    return stream->Pos();
}
int Size(const Ref<TStream>& stream) {
    return stream->Size();
}
int Seek(const Ref<TStream>& stream, int pos) {
    return stream->Seek(pos);
}
bool Flush(const Ref<TStream>& stream) {
    return stream->Flush();
}
bool Close(const Ref<TStream>& stream) {
    return stream->Close();
}
int ReadByte(const Ref<TStream>& stream) {
    return stream->ReadByte();
}
int ReadShort(const Ref<TStream>& stream) {
    return stream->ReadShort();
}
int32_t ReadInt(const Ref<TStream>& stream) {
    return stream->ReadInt();
}
int64_t ReadLong(const Ref<TStream>& stream) {
    return stream->ReadLong();
}
float ReadFloat(const Ref<TStream>& stream) {
    return stream->ReadFloat();
}
double ReadDouble(const Ref<TStream>& stream) {
    return stream->ReadDouble();
}
void WriteByte(const Ref<TStream>& stream, int n) {
    stream->WriteByte(n);
}
void WriteShort(const Ref<TStream>& stream, int n) {
    stream->WriteShort(n);
}
void WriteInt(const Ref<TStream>& stream, int32_t n) {
    stream->WriteInt(n);
}
void WriteLong(const Ref<TStream>& stream, int64_t n) {
    stream->WriteLong(n);
}
void WriteFloat(const Ref<TStream>& stream, float f) {
    stream->WriteFloat(f);
}
void WriteDouble(const Ref<TStream>& stream, double d) {
    stream->WriteDouble(d);
}
int ReadBytes(const Ref<TStream>& stream, void* buf, int count) {
    return stream->ReadBytes(buf, count);
}
int WriteBytes(const Ref<TStream>& stream, const void* buf, int count) {
    return stream->WriteBytes(buf, count);
}
String ReadLine(const Ref<TStream>& stream) {
    return stream->ReadLine();
}
bool WriteLine(const Ref<TStream>& stream, const String& text) {
    return stream->WriteLine(text);
}
String ReadString(const Ref<TStream>& stream, int length) {
    return stream->ReadString(length);
}
void WriteString(const Ref<TStream>& stream, const String& text) {
    stream->WriteString(text);
}

} // namespace zandrel
