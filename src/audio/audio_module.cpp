#include "loaders.hpp"
#include "mixer.hpp"
#include "mixer_driver.hpp"
#include "sound_decoder.hpp"

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

// Loaders live for the whole run; the newest is asked first, so WAV, Ogg,
// FLAC, then MP3, whose frames have the weakest signature.
void StartAudioModule() {
    static bool started = false;
    RunOnce(started, [] {
        StartStreamModule();
        new TAudioSampleLoaderDecoded(OpenMp3Decoder);
        new TAudioSampleLoaderDecoded(OpenFlacDecoder);
        new TAudioSampleLoaderOGG;
        new TAudioSampleLoaderWAV;
        SetAudioDriver(New<TAudioDriver>());
        DeferAudioDriver(StartMixerDriver);
    });
}

} // namespace zandrel
