#include "wave_out.hpp"

#include <dlfcn.h>

#include <utility>

namespace zandrel::mix {

namespace {

extern "C" void IgnoreAlsaError(const char*, int, const char*, int, const char*, ...) {}

} // namespace

// The sound library that SDL's device probe loads writes a screen of errors
// to standard error on a machine without a sound card; a missing device is
// no error here (the mixer stays silent), so its reports are switched off in
// the one copy of the library that SDL will share. The library stays loaded
// so that the setting lasts.
void QuietSoundLibraryErrors() {
    static bool done = false;
    if (std::exchange(done, true)) return;
    void* alsa = dlopen("libasound.so.2", RTLD_NOW | RTLD_GLOBAL);
    if (!alsa) return;
    using Handler = void (*)(const char*, int, const char*, int, const char*, ...);
    auto setHandler = reinterpret_cast<int (*)(Handler)>(dlsym(alsa, "snd_lib_error_set_handler"));
    if (setHandler) setHandler(IgnoreAlsaError);
}

} // namespace zandrel::mix
