// Where the thread may block, SDL waits for the next event itself.
#include "system_native.hpp"

#include <SDL.h>

namespace zandrel::native {

void WaitForSdlEvent() {
    SDL_WaitEvent(nullptr);
}

} // namespace zandrel::native
