#include "loaders.hpp"
#include "mixer.hpp"
#include "mixer_driver.hpp"

namespace zandrel {

namespace {

// The silent driver stays when there is no output device.
void StartMixerDriver() {
    if (MixerInit() != 0) return;
    static bool exitHandlerAdded = false;
    if (!exitHandlerAdded) {
        exitHandlerAdded = true;
        AddExitHandler(MixerClose);
    }
    SetAudioDriver(New<TMixerAudioDriver>());
}

} // namespace

// Loaders live for the whole run; the newest is asked first, so WAV before Ogg.
void StartAudioModule() {
    static bool started = false;
    RunOnce(started, [] {
        StartStreamModule();
        new TAudioSampleLoaderOGG;
        new TAudioSampleLoaderWAV;
        SetAudioDriver(New<TAudioDriver>());
        DeferAudioDriver(StartMixerDriver);
    });
}

} // namespace zandrel
