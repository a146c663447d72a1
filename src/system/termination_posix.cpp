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

// A program that reads events pumps at least this often.
constexpr int PumpGraceMs = 300;
// After this the main thread has passed no point since the signal.
constexpr int LastResortMs = 900;
constexpr int CaughtSignals[] = {SIGINT, SIGTERM};

std::atomic<int> lastSignal{0};
std::atomic<int> arrived{0};
std::atomic<int> answered{0};  // of those arrived, the ones the main thread has acted on
std::atomic<int> arrivedAt{0}; // the clock when the latest arrived
std::atomic<bool> ending{false};
std::atomic<bool> stopping{false};
sem_t wakeWatcher;
std::thread watcher;

void Record(int number) {
    int savedErrno = errno;
    lastSignal.store(number);
    arrivedAt.store(MonotonicMillis());
    arrived.fetch_add(1);
    sem_post(&wakeWatcher);
    errno = savedErrno;
}

int MillisSince(int time) {
    return static_cast<int>(static_cast<uint32_t>(MonotonicMillis()) - static_cast<uint32_t>(time));
}

bool Unanswered() {
    return arrived.load() > answered.load();
}

// Every exit, ours or the program's, stops the points from ending it again.
void MarkEnding() {
    answered.store(arrived.load());
    ending.store(true);
}

[[noreturn]] void EndThroughExitHandlers() {
    MarkEnding();
    std::exit(128 + lastSignal.load());
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
            if (MillisSince(arrivedAt.load()) >= LastResortMs) EndBySignal(lastSignal.load());
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

bool TakeTerminationSignal() {
    if (ending.load()) return false;
    int count = arrived.load();
    if (count >= 2) EndThroughExitHandlers();
    if (count == 0 || answered.load() == count) return false;
    answered.store(count);
    return true;
}

void EndOnIgnoredSignal() {
    if (ending.load()) return;
    int count = arrived.load();
    if (count >= 2) EndThroughExitHandlers();
    if (count == 1 && answered.load() == 0 && MillisSince(arrivedAt.load()) >= PumpGraceMs)
        EndThroughExitHandlers();
}

} // namespace zandrel::native
