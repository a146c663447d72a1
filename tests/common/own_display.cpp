// own_display <program> [arguments...]: runs a test program on a virtual X
// server of its own and exits with the program's exit code (255 when it did
// not end by itself).
//
// Display tests run two at a time. On one shared server, a window that one
// test opens takes the keyboard focus from another test's window, a
// full-screen test changes the display mode under the others, and a server
// that goes away takes every later test with it, while SDL quietly falls back
// to drawing into memory. Each on its own server, none of that reaches them.
#include "test_support.hpp"

#include <cstdio>
#include <cstring>
#include <exception>
#include <signal.h>
#include <sys/prctl.h>
#include <unistd.h>

namespace {

// Listing a program's tests draws nothing: no server for that.
bool OnlyListsTests(int argc, char** argv) {
    for (int i = 2; i < argc; ++i)
        if (std::strcmp(argv[i], "--gtest_list_tests") == 0) return true;
    return false;
}

int Exec(char** command) {
    execvp(command[0], command);
    std::perror(command[0]);
    return 127;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: own_display <program> [arguments...]\n");
        return 2;
    }
    if (OnlyListsTests(argc, argv)) return Exec(argv + 1);
    try {
        zandrel::test::PrivateDisplay display(1024, 768);
        return display.RunChild([argv] {
            // A test killed on its timeout takes its program with it.
            prctl(PR_SET_PDEATHSIG, SIGKILL);
            return Exec(argv + 1);
        });
    } catch (const std::exception& error) {
        std::fprintf(stderr, "own_display: %s\n", error.what());
        return 1;
    }
}
