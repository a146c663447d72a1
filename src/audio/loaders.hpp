// The two sample loaders and the plain-function glue over vorbisfile.
#pragma once

#include <zandrel/audio.hpp>

#include <cstddef>

namespace zandrel {

// RIFF WAVE files of 8- or 16-bit PCM, mono or stereo.
class TAudioSampleLoaderWAV : public TAudioSampleLoader {
public:
    Ref<TAudioSample> LoadAudioSample(const Ref<TStream>& stream) override;
};

// Ogg Vorbis, decoded whole into 16-bit little-endian PCM.
class TAudioSampleLoaderOGG : public TAudioSampleLoader {
public:
    Ref<TAudioSample> LoadAudioSample(const Ref<TStream>& stream) override;
};

// The shapes of vorbisfile's stream callbacks.
using OggReadFunc = size_t (*)(void* buffer, size_t size, size_t count, void* source);
using OggSeekFunc = int (*)(void* source, int64_t offset, int whence);
using OggCloseFunc = int (*)(void* source);
using OggTellFunc = long (*)(void* source);

// A decoder over the source, or null when it is not Ogg Vorbis. `length` is
// the frame count of the first logical stream (-1 when unknown).
void* OggOpen(void* source, OggReadFunc read, OggSeekFunc seek, OggCloseFunc close,
              OggTellFunc tell, int* length, int* channels, int* hertz);
// Decodes signed 16-bit little-endian PCM of the first logical stream into
// `buffer` until `bytes` are filled: 0 when they are, the count still missing
// when the data or the first stream ended first or a decoding error ended it,
// a negative code when a decoding error came before any byte. Holes (damaged
// or missing pages) are skipped. With no buffer it releases the decoder instead.
int OggRead(void* decoder, void* buffer, int bytes);

} // namespace zandrel
