// A page has no termination signals: closing the tab ends the program
// without a word to it, and nothing else asks it to end.
#include "system_native.hpp"

namespace zandrel::native {

void StartTerminationSignals() {}

void StopTerminationSignals() {}

bool TakeTerminationSignal() {
    return false;
}

void EndOnIgnoredSignal() {}

} // namespace zandrel::native
