// The page's side of the system module: the browser's clock, sleeps that
// hand the thread to the page (Asyncify unwinds the program's stack and
// resumes it later), and no desktop tools to run.
#include "system_native.hpp"

#include <emscripten.h>

#include <cmath>
#include <ctime>

namespace zandrel::native {

namespace {

// The page waits for no more than this while a program polls without
// flipping or sleeping.
constexpr double PumpTurnMs = 50;
double lastTurn = 0;

} // namespace

// Wraps like a 32-bit millisecond counter.
int MonotonicMillis() {
    auto ms = static_cast<uint64_t>(std::floor(emscripten_get_now()));
    return static_cast<int>(static_cast<uint32_t>(ms));
}

void SleepMillis(int ms) {
    emscripten_sleep(static_cast<unsigned>(ms < 0 ? 0 : ms));
    lastTurn = emscripten_get_now();
}

void GiveTurnToPage(bool frame) {
    if (!frame && emscripten_get_now() - lastTurn < PumpTurnMs) return;
    emscripten_sleep(0);
    lastTurn = emscripten_get_now();
}

std::string FormatLocalTime(const char* format) {
    time_t now = time(nullptr);
    tm local{};
    localtime_r(&now, &local);
    char text[256];
    size_t length = strftime(text, sizeof text, format, &local);
    return std::string(text, length);
}

std::string FindProgram(const std::string&) {
    return std::string();
}

std::optional<DialogTool> FindDialogTool() {
    return std::nullopt;
}

int RunTool(const std::vector<std::string>&, std::string& output) {
    output.clear();
    return -1;
}

std::string RunForOutput(const std::vector<std::string>&) {
    return std::string();
}

void Launch(const std::vector<std::string>&) {}

} // namespace zandrel::native
