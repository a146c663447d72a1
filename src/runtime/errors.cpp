#include <zandrel/runtime.hpp>

#include <cstdio>
#include <cstdlib>

namespace zandrel {

RuntimeError::RuntimeError(String message)
    : message_(std::move(message)), bytes_(ToBytes(message_)) {}

RuntimeError::RuntimeError(std::string_view message)
    : message_(FromBytes(message)), bytes_(message) {}

void ThrowAbstract() {
    throw RuntimeError("Attempt to call abstract method");
}

void ExitWithError(const String& message) {
    std::string text = ToBytes(message);
    std::fwrite(text.data(), 1, text.size(), stderr);
    std::fputc('\n', stderr);
    std::fflush(stderr);
    std::exit(-1);
}

} // namespace zandrel
