#include "termination_requests.hpp"
#include "system_native.hpp"

#include <atomic>
#include <cstdint>
#include <cstdlib>

namespace zandrel::native {

namespace termination {

namespace {

std::atomic<int> lastSignal{0};
std::atomic<int> arrived{0};
std::atomic<int> answered{0};  // of those arrived, the ones the main thread has acted on
std::atomic<int> arrivedAt{0}; // the clock when the latest arrived
std::atomic<bool> ending{false};

[[noreturn]] void EndThroughExitHandlers() {
    MarkEnding();
    std::exit(128 + lastSignal.load());
}

} // namespace

void RecordArrival(int number) {
    lastSignal.store(number);
    arrivedAt.store(MonotonicMillis());
    arrived.fetch_add(1);
}

bool Unanswered() {
    return arrived.load() > answered.load();
}

int MillisSinceArrival() {
    return static_cast<int>(static_cast<uint32_t>(MonotonicMillis()) -
                            static_cast<uint32_t>(arrivedAt.load()));
}

int LastSignal() {
    return lastSignal.load();
}

void MarkEnding() {
    answered.store(arrived.load());
    ending.store(true);
}

// The pump's and the frame points' answers, below.
bool Take() {
    if (ending.load()) return false;
    int count = arrived.load();
    if (count >= 2) EndThroughExitHandlers();
    if (count == 0 || answered.load() == count) return false;
    answered.store(count);
    return true;
}

void EndIfIgnored() {
    if (ending.load()) return;
    int count = arrived.load();
    if (count >= 2) EndThroughExitHandlers();
    if (count == 1 && answered.load() == 0 && MillisSinceArrival() >= PumpGraceMs)
        EndThroughExitHandlers();
}

} // namespace termination

bool TakeTerminationSignal() {
    return termination::Take();
}

void EndOnIgnoredSignal() {
    termination::EndIfIgnored();
}

} // namespace zandrel::native
