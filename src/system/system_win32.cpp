// The Win32 side of the system module's clock, sleeps and helper programs.
#include "runtime/wide_names.hpp"
#include "system_native.hpp"

#include <windows.h>

#include <mmsystem.h>
#include <shellapi.h>

#include <ctime>

namespace zandrel::native {

namespace {

// A command line whose arguments CommandLineToArgvW and the C run time read
// back as given: quotes around each, backslashes before a quote doubled.
std::wstring CommandLine(const std::vector<std::string>& command) {
    std::wstring line;
    for (auto& argument : command) {
        auto wide = WideName(argument).value_or(std::wstring());
        if (!line.empty()) line += L' ';
        line += L'"';
        size_t backslashes = 0;
        for (wchar_t c : wide) {
            if (c == L'\\') {
                ++backslashes;
            } else {
                line.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
                backslashes = 0;
            }
            if (c != L'\\') line += c;
        }
        line.append(backslashes * 2, L'\\');
        line += L'"';
    }
    return line;
}

struct Handle {
    HANDLE value = nullptr;
    ~Handle() {
        if (value) CloseHandle(value);
    }
};

} // namespace

// timeGetTime wraps as a 32-bit millisecond counter itself.
int MonotonicMillis() {
    return static_cast<int>(timeGetTime());
}

// Wakes when the millisecond clock reaches its reading now plus `ms`, with
// the system's timer at 1 ms for the wait, so that sleeps line up with Millisecs.
void SleepMillis(int ms) {
    DWORD until = timeGetTime() + static_cast<DWORD>(ms > 0 ? ms : 0);
    timeBeginPeriod(1);
    for (;;) {
        auto left = static_cast<int32_t>(until - timeGetTime());
        if (left <= 0) break;
        Sleep(static_cast<DWORD>(left));
    }
    timeEndPeriod(1);
}

void GiveTurnToPage(bool) {}

std::string FormatLocalTime(const char* format) {
    time_t now = time(nullptr);
    tm local{};
    localtime_s(&local, &now);
    char text[256];
    size_t length = strftime(text, sizeof text, format, &local);
    return std::string(text, length);
}

// As the command interpreter looks: the folders of PATH, with ".exe" when
// the name has no extension.
std::string FindProgram(const std::string& name) {
    auto wide = WideName(name);
    if (!wide || wide->empty()) return std::string();
    wchar_t found[MAX_PATH];
    DWORD n = SearchPathW(nullptr, wide->c_str(), L".exe", MAX_PATH, found, nullptr);
    if (n == 0 || n >= MAX_PATH) return std::string();
    return NarrowName(std::wstring(found, n));
}

// The file and folder requesters of Windows are its common dialogs, not a
// helper program.
std::optional<DialogTool> FindDialogTool() {
    return std::nullopt;
}

int RunTool(const std::vector<std::string>& command, std::string& output) {
    output.clear();
    if (command.empty()) return -1;
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    Handle reader, writer;
    if (!CreatePipe(&reader.value, &writer.value, &inherit, 0)) return -1;
    SetHandleInformation(reader.value, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = writer.value;
    startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    std::wstring line = CommandLine(command);
    PROCESS_INFORMATION started{};
    if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr,
                        nullptr, &startup, &started))
        return -1;
    Handle process{started.hProcess}, thread{started.hThread};
    CloseHandle(writer.value);
    writer.value = nullptr;
    char buffer[4096];
    DWORD got = 0;
    while (ReadFile(reader.value, buffer, sizeof buffer, &got, nullptr) && got > 0)
        output.append(buffer, got);
    WaitForSingleObject(process.value, INFINITE);
    DWORD code = 0;
    return GetExitCodeProcess(process.value, &code) ? static_cast<int>(code) : -1;
}

std::string RunForOutput(const std::vector<std::string>& command) {
    std::string output;
    return RunTool(command, output) == 0 ? output : std::string();
}

// The desktop's opener ("xdg-open DOCUMENT") is the shell's open verb here;
// any other program starts without being waited for.
void Launch(const std::vector<std::string>& command) {
    if (command.empty()) return;
    if (command[0] == "xdg-open" && command.size() == 2) {
        if (auto document = WideName(command[1]))
            ShellExecuteW(nullptr, L"open", document->c_str(), nullptr, nullptr, SW_SHOWNORMAL);
        return;
    }
    std::wstring line = CommandLine(command);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION started{};
    if (CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, DETACHED_PROCESS, nullptr,
                       nullptr, &startup, &started)) {
        CloseHandle(started.hThread);
        CloseHandle(started.hProcess);
    }
}

} // namespace zandrel::native
