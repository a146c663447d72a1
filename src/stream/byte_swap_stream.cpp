#include "openers.hpp"
#include "typed_values.hpp"

#include <algorithm>
#include <cstring>

namespace zandrel {

void TByteSwapStream::SwapBytes2(void* address) {
    auto* p = static_cast<uint8_t*>(address);
    std::reverse(p, p + 2);
}

void TByteSwapStream::SwapBytes4(void* address) {
    auto* p = static_cast<uint8_t*>(address);
    std::reverse(p, p + 4);
}

void TByteSwapStream::SwapBytes8(void* address) {
    auto* p = static_cast<uint8_t*>(address);
    std::reverse(p, p + 8);
}

int TByteSwapStream::ReadShort() {
    return ReadTyped<uint16_t>(*this, ByteOrder::Reversed);
}
void TByteSwapStream::WriteShort(int n) {
    WriteTyped(*this, static_cast<uint16_t>(n), ByteOrder::Reversed);
}
int32_t TByteSwapStream::ReadInt() {
    return ReadTyped<int32_t>(*this, ByteOrder::Reversed);
}
void TByteSwapStream::WriteInt(int32_t n) {
    WriteTyped(*this, n, ByteOrder::Reversed);
}
int64_t TByteSwapStream::ReadLong() {
    return ReadTyped<int64_t>(*this, ByteOrder::Reversed);
}
void TByteSwapStream::WriteLong(int64_t n) {
    WriteTyped(*this, n, ByteOrder::Reversed);
}
float TByteSwapStream::ReadFloat() {
    return ReadTyped<float>(*this, ByteOrder::Reversed);
}
void TByteSwapStream::WriteFloat(float f) {
    WriteTyped(*this, f, ByteOrder::Reversed);
}
double TByteSwapStream::ReadDouble() {
    return ReadTyped<double>(*this, ByteOrder::Reversed);
}
void TByteSwapStream::WriteDouble(double d) {
    WriteTyped(*this, d, ByteOrder::Reversed);
}

Ref<TByteSwapStream> TByteSwapStream::Create(Ref<TStream> stream) {
    if (!stream) return nullptr;
    auto swapped = New<TByteSwapStream>();
    swapped->SetInner(std::move(stream));
    return swapped;
}

Ref<TStream> BigEndianStream(Ref<TStream> stream) {
    return TByteSwapStream::Create(std::move(stream));
}

Ref<TStream> LittleEndianStream(Ref<TStream> stream) {
    return stream;
}

Ref<TStream> TEndianStreamOpener::TryOpen(const Url&, const String& proto, const String& path,
                                          FileMode mode) {
    if (proto == u"bigendian") return BigEndianStream(OpenStream(path, mode));
    if (proto == u"littleendian") return OpenStream(path, mode);
    return nullptr;
}

} // namespace zandrel
