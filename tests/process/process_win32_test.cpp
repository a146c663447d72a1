// Child processes on Windows: commands run under the command interpreter on
// three pipes, and ending a child ends the whole tree in its Job object.
#include "test_support.hpp"

#include <gtest/gtest.h>
#include <zandrel/process.hpp>

#include <windows.h>

#include <chrono>
#include <cstdlib>
#include <functional>
#include <string>
#include <thread>

using namespace zandrel;

namespace {

bool WaitFor(const std::function<bool()>& condition, int milliseconds = 10000) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

String NextLine(TPipeStream& pipe) {
    String line;
    WaitFor([&] { return !(line = pipe.ReadLine()).empty(); });
    return line;
}

// A mutex that names a process of the tree: it exists while its holder runs.
bool MutexExists(const std::wstring& name) {
    HANDLE mutex = OpenMutexW(SYNCHRONIZE, FALSE, name.c_str());
    if (!mutex) return false;
    CloseHandle(mutex);
    return true;
}

// This test program under the command interpreter, running only the holder below.
std::string HolderCommand() {
    return "\"" + test::ThisProgram() + "\" --gtest_also_run_disabled_tests " +
           "--gtest_filter=WindowsProcess.DISABLED_HolderOfTheTreeMutex";
}

} // namespace

TEST(WindowsProcess, CommandsRunUnderTheInterpreterOnPipes) {
    struct Case {
        const char* command;
        const char16_t* output;
        const char16_t* error;
        int exitCode;
    };
    const Case cases[] = {
        {"echo hello", u"hello", u"", 0},
        {"echo oops 1>&2", u"", u"oops ", 0},
        {"exit /b 7", u"", u"", 7},
        {"no-such-program-here", u"", nullptr, 9009}, // the interpreter's "not found"
    };
    for (auto& c : cases) {
        auto process = CreateChildProcess(FromUtf8(c.command));
        ASSERT_TRUE(process) << c.command;
        ASSERT_TRUE(WaitFor([&] { return !process->Status(); })) << c.command;
        EXPECT_EQ(process->ExitCode(), c.exitCode) << c.command;
        if (*c.output) {
            EXPECT_EQ(NextLine(*process->Pipe()), c.output) << c.command;
        }
        if (c.error && *c.error) {
            EXPECT_EQ(NextLine(*process->Err()), c.error) << c.command;
        }
        process->Close();
    }
}

TEST(WindowsProcess, WhatTheParentWritesReachesTheChild) {
    auto process = CreateChildProcess(u"set /p line=&call echo got %line%");
    ASSERT_TRUE(process);
    std::string line = "ping\r\n";
    EXPECT_EQ(process->Pipe()->Write(line.data(), static_cast<int>(line.size())),
              static_cast<int>(line.size()));
    EXPECT_EQ(NextLine(*process->Pipe()), u"got ping");
    EXPECT_TRUE(WaitFor([&] { return !process->Status(); }));
}

// The holder is started by the interpreter, itself our child: ending the
// child ends the holder too, through the Job object they share.
TEST(WindowsProcess, TerminateEndsTheWholeTree) {
    std::wstring name = L"zandrel-tree-" + std::to_wstring(GetCurrentProcessId());
    _wputenv_s(L"ZANDREL_TREE_MUTEX", name.c_str());
    auto process = CreateChildProcess(FromUtf8(HolderCommand()));
    ASSERT_TRUE(process);
    ASSERT_TRUE(WaitFor([&] { return MutexExists(name); }));
    EXPECT_TRUE(process->Status());
    EXPECT_TRUE(process->Terminate());
    EXPECT_TRUE(WaitFor([&] { return !MutexExists(name); }));
    EXPECT_FALSE(process->Terminate()); // nothing is left to end
}

// Run only by the test above: holds the mutex until it is ended.
TEST(WindowsProcess, DISABLED_HolderOfTheTreeMutex) {
    const wchar_t* name = _wgetenv(L"ZANDREL_TREE_MUTEX");
    ASSERT_TRUE(name);
    HANDLE mutex = CreateMutexW(nullptr, TRUE, name);
    ASSERT_TRUE(mutex);
    Sleep(60000);
    CloseHandle(mutex);
}
