#include "page_turns.hpp"
#include "system_native.hpp"
#include "termination.hpp"

#include <algorithm>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace zandrel {

namespace {
MillisecsSource millisecsSource = nullptr;
int32_t frameClock = 0; // of a run with --frame-ms, which only Flip moves
} // namespace

void SetMillisecsSource(MillisecsSource source) {
    millisecsSource = source;
}

int Millisecs() {
    if (millisecsSource) return millisecsSource();
    if (UnattendedRunOptions().frameMillis > 0) return frameClock;
    return native::MonotonicMillis();
}

void AdvanceFrameClock() {
    frameClock = static_cast<int32_t>(static_cast<uint32_t>(frameClock) +
                                      static_cast<uint32_t>(UnattendedRunOptions().frameMillis));
}

// In slices, each a point where a termination signal that the program does
// not read events for ends it. The system clock, not Millisecs, counts the
// delay: a tool's clock of its own may stand still while the program sleeps.
// Where work waits for the program's turns (the mixer's fill in a page), the
// slices are short enough to keep that work ahead.
void DelayMillis(int ms) {
    if (ms < 0) return;
    const int SliceMs = HasTurnTasks() ? 5 : 100;
    uint32_t until = static_cast<uint32_t>(native::MonotonicMillis()) + static_cast<uint32_t>(ms);
    for (;;) {
        EndOnIgnoredTerminationSignal();
        int left = static_cast<int>(until - static_cast<uint32_t>(native::MonotonicMillis()));
        if (left <= 0) return;
        native::SleepMillis(std::min(left, SliceMs));
        RunTurnTasks();
    }
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
