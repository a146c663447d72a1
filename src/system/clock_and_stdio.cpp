#include "system_native.hpp"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace zandrel {

namespace {
MillisecsSource millisecsSource = nullptr;
}

void SetMillisecsSource(MillisecsSource source) {
    millisecsSource = source;
}

int Millisecs() {
    return millisecsSource ? millisecsSource() : native::MonotonicMillis();
}

void DelayMillis(int ms) {
    if (ms >= 0) native::SleepMillis(ms);
}

String CurrentDate() {
    return FromUtf8(native::FormatLocalTime("%d %b %Y"));
}

String CurrentTime() {
    return FromUtf8(native::FormatLocalTime("%H:%M:%S"));
}

void ExitProgram() {
    std::exit(0);
}

void WriteStdout(const String& text) {
    std::fputs(ToUtf8(text).c_str(), stdout);
    std::fflush(stdout);
}

void WriteStderr(const String& text) {
    std::fputs(ToUtf8(text).c_str(), stderr);
    std::fflush(stderr);
}

String ReadStdin() {
    char line[1024];
    if (!std::fgets(line, sizeof line, stdin)) return String();
    line[std::strcspn(line, "\n")] = 0;
    return FromUtf8(line);
}

String FindProgramOnPath(const String& name) {
    auto osName = ToOsName(name);
    return osName ? FromUtf8(native::FindProgram(*osName)) : String();
}

} // namespace zandrel
