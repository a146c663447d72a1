// Feeds arbitrary bytes to LoadAudioSample from memory, so that every
// sample loader in turn sees them, and touches the last frame of what loads.
#include "audio/loaders.hpp"

#include <zandrel/zandrel.hpp>

#include <cstdint>

using namespace zandrel;

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // The loaders as the audio module registers them (WAV asked first),
    // without the mixer and its device.
    StartStreamModule();
    new TAudioSampleLoaderOGG;
    new TAudioSampleLoaderWAV;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > (1u << 24)) return 0;
    auto stream =
        CreateMemoryStream(const_cast<uint8_t*>(data), static_cast<int>(size), true, false);
    if (auto sample = LoadAudioSample(stream)) {
        int bytes = sample->Length() * BytesPerSample[sample->Format()];
        if (sample->Capacity() >= 0 && sample->Capacity() < bytes) __builtin_trap();
        volatile uint8_t sink = bytes > 0 ? sample->Samples()[bytes - 1] : 0;
        (void)sink;
    }
    return 0;
}
