// Started by the tests and sent termination signals: runs the loop its
// argument names, says "ready" once inside it, and says from an exit handler
// whether the graphics were closed before it ran.
#include <zandrel/zandrel.hpp>

#include <cstdio>
#include <string>

using namespace zandrel;

namespace {

void Ready() {
    std::puts("ready");
    std::fflush(stdout);
}

// Registered before the window opens, so it runs after the graphics' own.
void ReportAtExit() {
    AddExitHandler([] {
        std::printf("exit handlers ran, graphics %s\n", CurrentGraphics() ? "open" : "closed");
        std::fflush(stdout);
    });
}

int Run(const std::string& loop) {
    StartZandrel();
    ReportAtExit();
    if (loop == "sleeps") {
        Ready();
        for (;;)
            DelayMillis(10000);
    }
    if (loop == "stuck") {
        Ready();
        volatile unsigned spin = 0;
        for (;;)
            spin = spin + 1;
    }
    if (!OpenGraphics(64, 64, 0, 60)) return 2;
    Ready();
    if (loop == "reads") {
        while (WaitEvent() != EventId::AppTerminate) {
        }
    } else if (loop == "polls") {
        while (!TakeTerminateRequest())
            Flip();
    } else if (loop == "flips") {
        for (;;)
            Flip();
    } else if (loop == "ignores") {
        for (;;) {
            PollEvent();
            Flip();
        }
    }
    std::puts("terminate request");
    return 3;
}

} // namespace

int main(int argc, char** argv) {
    std::string loop = argc > 1 ? argv[1] : "";
    return RunProgram(argc, argv, [&] { return Run(loop); });
}
