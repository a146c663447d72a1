#include "whole_url.hpp"

#include <algorithm>

namespace zandrel {

namespace {

Ref<TStream> OpenedOrThrow(Ref<TStream> stream, const Url& url, bool readable) {
    if (stream) return stream;
    String what = url.AsObject() ? S("the given object") : S("\"") + url.Text() + S("\"");
    throw RuntimeError(S("Unable to open ") + what + S(readable ? " for reading" : " for writing"));
}

void CloseOrThrow(TStream& stream) {
    if (!stream.Close()) throw TStreamWriteError();
}

} // namespace

Ref<TStream> OpenOrThrow(const Url& url, FileMode mode) {
    return OpenedOrThrow(OpenStream(url, mode), url, static_cast<bool>(mode & FileMode::Read));
}

Ref<TStream> OpenSaveOrThrow(const Url& url) {
    return OpenedOrThrow(OpenSaveStream(url), url, false);
}

void SaveBlock(const void* data, size_t size, const Url& url) {
    auto stream = OpenSaveOrThrow(url);
    stream->WriteBytes(data, static_cast<int>(size));
    CloseOrThrow(*stream);
}

// The array starts at 1024 bytes, or at what the stream says is left so that
// a file is read with one allocation, and grows by half when full.
ByteArray ReadRemainingBytes(TStream& stream) {
    int pos = stream.Pos();
    int known = pos >= 0 ? stream.Size() - pos : 0;
    ByteArray bytes(static_cast<size_t>(std::max(1024, known)));
    size_t used = 0;
    while (!stream.Eof()) {
        if (used == bytes.size()) bytes.resize(used * 3 / 2);
        int free = static_cast<int>(std::min<size_t>(bytes.size() - used, 0x40000000));
        int n = stream.Read(bytes.data() + used, free);
        if (n <= 0) {
            stream.ThrowUnlessEnded();
            break;
        }
        used += static_cast<size_t>(n);
    }
    bytes.resize(used);
    return bytes;
}

ByteArray LoadBytes(const Url& url) {
    auto stream = OpenOrThrow(url, FileMode::Read);
    ByteArray bytes = ReadRemainingBytes(*stream);
    stream->Close();
    return bytes;
}

String LoadByteString(const Url& url) {
    ByteArray bytes = LoadBytes(url);
    return FromBytes(bytes.data(), bytes.size());
}

void SaveBytes(const ByteArray& bytes, const Url& url) {
    SaveBlock(bytes.data(), bytes.size(), url);
}

void SaveByteString(const String& text, const Url& url) {
    std::string bytes = ToBytes(text);
    SaveBlock(bytes.data(), bytes.size(), url);
}

Ref<Object> LoadObjectFrom(const Url& url) {
    auto stream = OpenReadStream(url);
    if (!stream) return nullptr;
    auto object = stream->ReadObject();
    stream->Close();
    return object;
}

void SaveObjectTo(const Ref<Object>& object, const Url& url) {
    auto stream = OpenSaveOrThrow(url);
    stream->WriteObject(object);
    CloseOrThrow(*stream);
}

void CopyStreamData(TStream& from, TStream& to, int bufferSize) {
    ByteArray buf(static_cast<size_t>(std::max(bufferSize, 1)));
    while (!from.Eof()) {
        int n = from.Read(buf.data(), static_cast<int>(buf.size()));
        if (n <= 0) {
            from.ThrowUnlessEnded();
            break;
        }
        to.WriteBytes(buf.data(), n);
    }
}

void CopyStreamBytes(TStream& from, TStream& to, int count, int bufferSize) {
    ByteArray buf(static_cast<size_t>(std::max(bufferSize, 1)));
    while (count > 0) {
        int n = std::min(count, static_cast<int>(buf.size()));
        from.ReadBytes(buf.data(), n);
        to.WriteBytes(buf.data(), n);
        count -= n;
    }
}

int ReadUpTo(TStream& stream, void* buf, int count) {
    auto* p = static_cast<uint8_t*>(buf);
    int done = 0;
    while (done < count) {
        int n = stream.Read(p + done, count - done);
        if (n <= 0) break;
        done += n;
    }
    return done;
}

void ReadExactly(TStream& stream, void* buf, int count) {
    if (ReadUpTo(stream, buf, count) != count) throw TStreamReadError();
}

} // namespace zandrel
