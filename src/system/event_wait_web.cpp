// A page's thread may not block: the wait is a run of short sleeps, each of
// which lets the page deliver input and timer ticks, with the turn tasks (the
// mixer's fill) run after each, so that the sound plays on while a program
// waits for a key or a timer.
#include "page_turns.hpp"
#include "system_native.hpp"

#include <SDL.h>

namespace zandrel::native {

namespace {

constexpr int WaitSliceMs = 5;

} // namespace

void WaitForSdlEvent() {
    for (;;) {
        SDL_PumpEvents();
        if (SDL_HasEvents(SDL_FIRSTEVENT, SDL_LASTEVENT)) return;
        SleepMillis(WaitSliceMs);
        RunTurnTasks();
    }
}

} // namespace zandrel::native
