// Termination signals: SIGINT and SIGTERM, as Ctrl+C and kill send them.
// The handler only records them, because what ending must do (close the
// windows and GL contexts, restore the display mode, stop the mixer) belongs
// to exit handlers on the main thread. The main thread answers at points
// that every program passes: its pump turns a first signal into a terminate
// request, as a window's close button does; a frame point (Flip, a slice of
// a delay) ends a program whose pump did not take it in time; any point ends
// the program on a second signal. A watcher thread wakes a pump that waits
// for input, and ends by the signal itself a process whose main thread
// reaches no point at all.
#include "system_native.hpp"
#include "termination_requests.hpp"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <pthread.h>
#include <semaphore.h>
#include <thread>
#include <unistd.h>

namespace zandrel::native {

namespace {

using namespace termination;

constexpr int CaughtSignals[] = {SIGINT, SIGTERM};

std::atomic<bool> stopping{false};
sem_t wakeWatcher;
std::thread watcher;

void Record(int number) {
    int savedErrno = errno;
    RecordArrival(number);
    sem_post(&wakeWatcher);
    errno = savedErrno;
}

[[noreturn]] void EndBySignal(int number) {
    std::fprintf(stderr, "%s: the main thread did not answer; ending without clean-up\n",
                 strsignal(number));
    struct sigaction fallback {};
    fallback.sa_handler = SIG_DFL;
    sigaction(number, &fallback, nullptr);
    kill(getpid(), number); // this thread blocks it: another one takes it and dies
    SleepMillis(1000);
    _exit(128 + number);
}

void Watch() {
    // Signals go to the other threads, the main one above all, where they
    // cut sleeps and waits short.
    sigset_t caught;
    sigemptyset(&caught);
    for (int number : CaughtSignals)
        sigaddset(&caught, number);
    pthread_sigmask(SIG_BLOCK, &caught, nullptr);
    for (;;) {
        while (sem_wait(&wakeWatcher) != 0 && errno == EINTR) {
        }
        if (stopping.load()) return;
        WakePump();
        while (Unanswered() && !stopping.load()) {
            if (MillisSinceArrival() >= LastResortMs) EndBySignal(LastSignal());
            SleepMillis(10);
        }
    }
}

} // namespace

void StartTerminationSignals() {
    sem_init(&wakeWatcher, 0, 0);
    watcher = std::thread(Watch);
    std::atexit(MarkEnding); // runs before the exit handlers, which were registered earlier
    struct sigaction action {};
    action.sa_handler = Record;
    action.sa_flags = SA_RESTART;
    sigemptyset(&action.sa_mask);
    for (int number : CaughtSignals)
        sigaction(number, &action, nullptr);
}

// From here on a signal ends the process at once, as it would without us.
void StopTerminationSignals() {
    struct sigaction fallback {};
    fallback.sa_handler = SIG_DFL;
    for (int number : CaughtSignals)
        sigaction(number, &fallback, nullptr);
    stopping.store(true);
    sem_post(&wakeWatcher);
    if (watcher.joinable()) watcher.join();
}

} // namespace zandrel::native
