// Helpers shared by the whole-URL functions of the stream module.
#pragma once

#include <zandrel/stream.hpp>

namespace zandrel {

// The opened stream, or a RuntimeError naming the URL.
Ref<TStream> OpenOrThrow(const Url& url, FileMode mode);
// OpenSaveStream, or a RuntimeError naming the URL.
Ref<TStream> OpenSaveOrThrow(const Url& url);
// Writes the block through OpenSaveOrThrow and closes the stream. Throws
// TStreamWriteError when any of it did not reach the file.
void SaveBlock(const void* data, size_t size, const Url& url);
// Every byte from the stream's position to its end.
ByteArray ReadRemainingBytes(TStream& stream);

} // namespace zandrel
