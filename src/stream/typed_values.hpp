// Typed values read and written through a stream's exact-count transfers, in
// machine byte order or reversed.
#pragma once

#include <zandrel/stream.hpp>

#include <algorithm>
#include <cstring>

namespace zandrel {

enum class ByteOrder { Machine, Reversed };

// Zero where the data ended early.
template <class T> T ReadTyped(TStream& stream, ByteOrder order) {
    uint8_t bytes[sizeof(T)] = {};
    stream.ReadBytes(bytes, sizeof(T));
    if (order == ByteOrder::Reversed) std::reverse(bytes, bytes + sizeof(T));
    T value;
    std::memcpy(&value, bytes, sizeof(T));
    return value;
}

template <class T> void WriteTyped(TStream& stream, T value, ByteOrder order) {
    uint8_t bytes[sizeof(T)];
    std::memcpy(bytes, &value, sizeof(T));
    if (order == ByteOrder::Reversed) std::reverse(bytes, bytes + sizeof(T));
    stream.WriteBytes(bytes, sizeof(T));
}

} // namespace zandrel
