// Feeds arbitrary bytes to LoadAudioSample from memory, so that every
// sample loader in turn sees them, and touches the last frame of what loads;
// then to the decoders that streamed sounds read through, moved half way
// and back to the start as a loop does.
#include "audio/loaders.hpp"
#include "audio/sound_decoder.hpp"

#include <zandrel/zandrel.hpp>

#include <cstdint>
#include <vector>

using namespace zandrel;

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // The loaders as the audio module registers them (WAV asked first),
    // without the mixer and its device.
    StartStreamModule();
    new TAudioSampleLoaderDecoded(OpenMp3Decoder);
    new TAudioSampleLoaderDecoded(OpenFlacDecoder);
    new TAudioSampleLoaderOGG;
    new TAudioSampleLoaderWAV;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > (1u << 24)) return 0;
    auto stream =
        CreateMemoryStream(const_cast<uint8_t*>(data), static_cast<int>(size), FileMode::Read);
    if (auto sample = LoadAudioSample(stream)) {
        int bytes = sample->Length() * BytesPerSample[sample->Format()];
        if (sample->Capacity() >= 0 && sample->Capacity() < bytes) __builtin_trap();
        volatile uint8_t sink = bytes > 0 ? sample->Samples()[bytes - 1] : 0;
        (void)sink;
    }
    stream->Seek(0);
    if (auto decoder = OpenSoundDecoder(stream)) {
        std::vector<int16_t> frames(1024 * static_cast<size_t>(decoder->Channels()));
        if (decoder->Length() > 0) decoder->Seek(decoder->Length() / 2);
        while (decoder->Read(frames.data(), 1024) > 0) {
        }
        if (decoder->Seek(0)) decoder->Read(frames.data(), 1024);
    }
    return 0;
}
