#include <zandrel/runtime.hpp>

#include <cstdio>
#include <cstdlib>

namespace zandrel {

RuntimeError::RuntimeError(String message)
    : message_(std::move(message)), bytes_(ToUtf8(message_)) {}

RuntimeError::RuntimeError(std::string_view utf8Message) : RuntimeError(FromUtf8(utf8Message)) {}

void ThrowAbstract() {
    throw RuntimeError("Attempt to call abstract method");
}

void ExitWithError(const String& message) {
    std::string text = ToUtf8(message);
    std::fwrite(text.data(), 1, text.size(), stderr);
    std::fputc('\n', stderr);
    std::fflush(stderr);
    std::exit(-1);
}

} // namespace zandrel
