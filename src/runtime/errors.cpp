#include <zandrel/runtime.hpp>

#include <cstdio>
#include <cstdlib>

namespace zandrel {

RuntimeError::RuntimeError(String message)
    : message_(std::move(message)), bytes_(ToUtf8(message_)) {}

RuntimeError::RuntimeError(std::string_view utf8Message) : RuntimeError(FromUtf8(utf8Message)) {}

namespace {
thread_local String loadError;
} // namespace

const String& LastLoadError() {
    return loadError;
}

void SetLoadError(String reason) {
    loadError = std::move(reason);
}

void RefusedAs(std::string_view kind) {
    String reason = u"not " + FromUtf8(kind);
    if (!loadError.empty()) reason += u" (" + loadError + u")";
    loadError = std::move(reason);
}

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
