// Helpers shared by the whole-URL functions of the stream module.
#pragma once

#include <zandrel/stream.hpp>

namespace zandrel {

// The opened stream, or a RuntimeError naming the URL.
Ref<TStream> OpenOrThrow(const Url& url, bool readable, bool writeable);
// Every byte from the stream's position to its end.
ByteArray ReadRemainingBytes(TStream& stream);

} // namespace zandrel
