#include "typed_values.hpp"

#include <cstring>

namespace zandrel {

bool TIOBase::Eof() {
    return Pos() == Size();
}
int TIOBase::Pos() {
    return -1;
}
int TIOBase::Size() {
    return 0;
}
int TIOBase::Seek(int) {
    return -1;
}
bool TIOBase::Flush() {
    return true;
}
bool TIOBase::Close() {
    return true;
}
int TIOBase::Read(void*, int) {
    throw RuntimeError("Stream is not readable");
}
int TIOBase::Write(const void*, int) {
    throw RuntimeError("Stream is not writeable");
}

// A stream without a position (a pipe, standard input) learns that its data
// has ended only when a read comes back empty.
void TStream::ThrowUnlessEnded() {
    if (!Eof()) throw TStreamReadError();
}

int TStream::ReadBytes(void* buf, int count) {
    auto* p = static_cast<uint8_t*>(buf);
    int left = count;
    while (left > 0 && !Eof()) {
        int n = Read(p, left);
        if (n <= 0) {
            ThrowUnlessEnded();
            break;
        }
        p += n;
        left -= n;
    }
    return count;
}

int TStream::WriteBytes(const void* buf, int count) {
    const auto* p = static_cast<const uint8_t*>(buf);
    int left = count;
    while (left > 0) {
        int n = Write(p, left);
        if (n <= 0) throw TStreamWriteError();
        p += n;
        left -= n;
    }
    return count;
}

int TStream::SkipBytes(int count) {
    uint8_t scratch[1024];
    int left = count;
    while (left > 0 && !Eof()) {
        int n = Read(scratch, left < 1024 ? left : 1024);
        if (n <= 0) {
            ThrowUnlessEnded();
            break;
        }
        left -= n;
    }
    return count;
}

int TStream::ReadByte() {
    return ReadTyped<uint8_t>(*this, ByteOrder::Machine);
}
void TStream::WriteByte(int n) {
    WriteTyped(*this, static_cast<uint8_t>(n), ByteOrder::Machine);
}
int TStream::ReadShort() {
    return ReadTyped<uint16_t>(*this, ByteOrder::Machine);
}
void TStream::WriteShort(int n) {
    WriteTyped(*this, static_cast<uint16_t>(n), ByteOrder::Machine);
}
int32_t TStream::ReadInt() {
    return ReadTyped<int32_t>(*this, ByteOrder::Machine);
}
void TStream::WriteInt(int32_t n) {
    WriteTyped(*this, n, ByteOrder::Machine);
}
int64_t TStream::ReadLong() {
    return ReadTyped<int64_t>(*this, ByteOrder::Machine);
}
void TStream::WriteLong(int64_t n) {
    WriteTyped(*this, n, ByteOrder::Machine);
}
float TStream::ReadFloat() {
    return ReadTyped<float>(*this, ByteOrder::Machine);
}
void TStream::WriteFloat(float f) {
    WriteTyped(*this, f, ByteOrder::Machine);
}
double TStream::ReadDouble() {
    return ReadTyped<double>(*this, ByteOrder::Machine);
}
void TStream::WriteDouble(double d) {
    WriteTyped(*this, d, ByteOrder::Machine);
}

String TStream::ReadLine() {
    String line;
    uint8_t chunk[1024];
    size_t used = 0;
    for (;;) {
        uint8_t byte = 0;
        if (Read(&byte, 1) != 1 || byte == 0 || byte == 10) break;
        if (byte == 13) continue;
        chunk[used++] = byte;
        if (used == sizeof chunk) {
            line += FromBytes(chunk, used);
            used = 0;
        }
    }
    line += FromBytes(chunk, used);
    return line;
}

bool TStream::WriteLine(const String& text) {
    std::string bytes = ToBytes(text);
    int count = static_cast<int>(bytes.size());
    if (Write(bytes.data(), count) != count) return false;
    static const uint8_t crlf[2] = {13, 10};
    return Write(crlf, 2) == 2;
}

String TStream::ReadString(int length) {
    if (length <= 0) return String();
    std::string bytes(static_cast<size_t>(length), '\0');
    ReadBytes(bytes.data(), length);
    return FromBytes(bytes);
}

void TStream::WriteString(const String& text) {
    std::string bytes = ToBytes(text);
    WriteBytes(bytes.data(), static_cast<int>(bytes.size()));
}

Ref<Object> TStream::ReadObject() {
    throw RuntimeError("Unable to read object");
}
void TStream::WriteObject(const Ref<Object>&) {
    throw RuntimeError("Unable to write object");
}

} // namespace zandrel
