#include "system_native.hpp"

#include <cerrno>
#include <cstdlib>
#include <ctime>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace zandrel::native {

namespace {

std::vector<char*> ArgumentVector(const std::vector<std::string>& command) {
    std::vector<char*> argv;
    for (auto& argument : command)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    return argv;
}

int WaitForExit(pid_t pid) {
    int status = 0;
    while (waitpid(pid, &status, 0) < 0)
        if (errno != EINTR) return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

} // namespace

// Wraps like a 32-bit millisecond counter.
int MonotonicMillis() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    uint64_t ms =
        static_cast<uint64_t>(now.tv_sec) * 1000u + static_cast<uint64_t>(now.tv_nsec) / 1000000u;
    return static_cast<int>(static_cast<uint32_t>(ms));
}

// Wakes when the millisecond clock reaches its reading now plus `ms`, as a
// 1 ms timer tick would, so that sleeps line up with Millisecs.
void SleepMillis(int ms) {
    timespec until{};
    clock_gettime(CLOCK_MONOTONIC, &until);
    long nanoseconds = until.tv_nsec - until.tv_nsec % 1000000L + (ms % 1000) * 1000000L;
    until.tv_sec += ms / 1000 + nanoseconds / 1000000000L;
    until.tv_nsec = nanoseconds % 1000000000L;
    while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &until, nullptr) == EINTR) {
    }
}

// The program owns its thread here.
void GiveTurnToPage(bool) {}

std::string FormatLocalTime(const char* format) {
    time_t now = time(nullptr);
    tm local{};
    localtime_r(&now, &local);
    char text[256];
    size_t length = strftime(text, sizeof text, format, &local);
    return std::string(text, length);
}

std::string FindProgram(const std::string& name) {
    const char* path = std::getenv("PATH");
    if (!path) return std::string();
    std::string folders = path;
    size_t start = 0;
    while (start <= folders.size()) {
        size_t end = folders.find(':', start);
        if (end == std::string::npos) end = folders.size();
        std::string folder = folders.substr(start, end - start);
        std::string candidate = (folder.empty() ? std::string(".") : folder) + "/" + name;
        if (access(candidate.c_str(), X_OK) == 0) return candidate;
        start = end + 1;
    }
    return std::string();
}

std::optional<DialogTool> FindDialogTool() {
    if (auto zenity = FindProgram("zenity"); !zenity.empty())
        return DialogTool{DialogTool::Zenity, zenity};
    if (auto kdialog = FindProgram("kdialog"); !kdialog.empty())
        return DialogTool{DialogTool::Kdialog, kdialog};
    return std::nullopt;
}

int RunTool(const std::vector<std::string>& command, std::string& output) {
    output.clear();
    int pipeEnds[2];
    if (pipe2(pipeEnds, O_CLOEXEC) != 0) return -1;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeEnds[1], STDOUT_FILENO);
    auto argv = ArgumentVector(command);
    pid_t pid = 0;
    int failed = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(pipeEnds[1]);
    if (!failed) {
        char buffer[4096];
        ssize_t got;
        while ((got = read(pipeEnds[0], buffer, sizeof buffer)) != 0) {
            if (got < 0) {
                if (errno == EINTR) continue;
                break;
            }
            output.append(buffer, static_cast<size_t>(got));
        }
    }
    close(pipeEnds[0]);
    return failed ? -1 : WaitForExit(pid);
}

std::string RunForOutput(const std::vector<std::string>& command) {
    std::string output;
    return RunTool(command, output) == 0 ? output : std::string();
}

// A shell starts the program in the background and ends at once, so the
// program never waits for the desktop and leaves nothing to reap.
void Launch(const std::vector<std::string>& command) {
    std::vector<std::string> shell = {"/bin/sh", "-c", "\"$@\" </dev/null >/dev/null 2>&1 &", "sh"};
    shell.insert(shell.end(), command.begin(), command.end());
    auto argv = ArgumentVector(shell);
    pid_t pid = 0;
    if (posix_spawn(&pid, argv[0], nullptr, nullptr, argv.data(), environ) == 0) WaitForExit(pid);
}

} // namespace zandrel::native
