// Console control events (Ctrl+C, Ctrl+Break, the console's close button,
// log-off, shut-down) as termination requests. Windows calls the handler on
// a thread of its own, which serves as the watcher: it records the event,
// wakes a pump that waits for input and, while the main thread reaches no
// point that answers, waits; past the last resort it ends the process
// itself. Ctrl+C counts as SIGINT, the others as SIGTERM.
#include "system_native.hpp"
#include "termination_requests.hpp"

#include <windows.h>

#include <atomic>
#include <csignal>
#include <cstdio>
#include <cstdlib>

namespace zandrel::native {

namespace {

using namespace termination;

std::atomic<bool> stopping{false};

int SignalOf(DWORD event) {
    return event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT ? SIGINT : SIGTERM;
}

BOOL WINAPI OnConsoleEvent(DWORD event) {
    if (stopping.load()) return FALSE; // the system's default: the process ends
    RecordArrival(SignalOf(event));
    WakePump();
    while (Unanswered() && !stopping.load()) {
        if (MillisSinceArrival() >= LastResortMs) {
            std::fprintf(stderr,
                         "console event %lu: the main thread did not answer; ending "
                         "without clean-up\n",
                         static_cast<unsigned long>(event));
            std::fflush(stderr);
            ExitProcess(static_cast<UINT>(128 + LastSignal()));
        }
        Sleep(10);
    }
    // For a close, log-off or shut-down Windows ends the process once the
    // handler returns: the exit handlers get the time they need first.
    if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT)
        for (int waited = 0; waited < 5000 && !stopping.load(); waited += 10)
            Sleep(10);
    return TRUE;
}

} // namespace

void StartTerminationSignals() {
    stopping.store(false);
    std::atexit(MarkEnding); // runs before the exit handlers, which were registered earlier
    SetConsoleCtrlHandler(OnConsoleEvent, TRUE);
}

// From here on a console event ends the process at once, as it would without us.
void StopTerminationSignals() {
    stopping.store(true);
    SetConsoleCtrlHandler(OnConsoleEvent, FALSE);
}

} // namespace zandrel::native
