#include <zandrel/stream.hpp>

namespace zandrel {

// Destroying a stream closes it first; an error on the way out has nobody to
// report to.
TForwardingStream::~TForwardingStream() {
    if (!inner_) return;
    try {
        inner_->Close();
    } catch (const RuntimeError&) {
    }
}

void TForwardingStream::SetInner(Ref<TStream> stream) {
    inner_ = std::move(stream);
}

TStream& TForwardingStream::Target() {
    if (!inner_) throw RuntimeError("Forwarding stream has no inner stream");
    return *inner_;
}

bool TForwardingStream::Eof() {
    return Target().Eof();
}
int TForwardingStream::Pos() {
    return Target().Pos();
}
int TForwardingStream::Size() {
    return Target().Size();
}
int TForwardingStream::Seek(int pos) {
    return Target().Seek(pos);
}
bool TForwardingStream::Flush() {
    return Target().Flush();
}
bool TForwardingStream::Close() {
    return Target().Close();
}
int TForwardingStream::Read(void* buf, int count) {
    return Target().Read(buf, count);
}
int TForwardingStream::Write(const void* buf, int count) {
    return Target().Write(buf, count);
}
int TForwardingStream::ReadByte() {
    return Target().ReadByte();
}
void TForwardingStream::WriteByte(int n) {
    Target().WriteByte(n);
}
int TForwardingStream::ReadShort() {
    return Target().ReadShort();
}
void TForwardingStream::WriteShort(int n) {
    Target().WriteShort(n);
}
int32_t TForwardingStream::ReadInt() {
    return Target().ReadInt();
}
void TForwardingStream::WriteInt(int32_t n) {
    Target().WriteInt(n);
}
float TForwardingStream::ReadFloat() {
    return Target().ReadFloat();
}
void TForwardingStream::WriteFloat(float f) {
    Target().WriteFloat(f);
}
double TForwardingStream::ReadDouble() {
    return Target().ReadDouble();
}
void TForwardingStream::WriteDouble(double d) {
    Target().WriteDouble(d);
}
String TForwardingStream::ReadLine() {
    return Target().ReadLine();
}
bool TForwardingStream::WriteLine(const String& text) {
    return Target().WriteLine(text);
}
String TForwardingStream::ReadString(int length) {
    return Target().ReadString(length);
}
void TForwardingStream::WriteString(const String& text) {
    Target().WriteString(text);
}
Ref<Object> TForwardingStream::ReadObject() {
    return Target().ReadObject();
}
void TForwardingStream::WriteObject(const Ref<Object>& object) {
    Target().WriteObject(object);
}

TBorrowedStream::~TBorrowedStream() {
    inner_.reset();
}

bool TBorrowedStream::Close() {
    SetInner(nullptr);
    return true;
}

Ref<TBorrowedStream> TBorrowedStream::Create(Ref<TStream> stream) {
    auto borrowed = New<TBorrowedStream>();
    borrowed->SetInner(std::move(stream));
    return borrowed;
}

} // namespace zandrel
