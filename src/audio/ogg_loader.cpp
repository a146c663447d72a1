#include "loaders.hpp"
#include "sound_decoder.hpp"

#define OV_EXCLUDE_STATIC_CALLBACKS
#include <vorbis/vorbisfile.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <memory>

namespace zandrel {

namespace {

// No C++ exception may unwind through vorbisfile: a stream error becomes the
// library's own read or seek failure.
size_t ReadStream(void* buffer, size_t size, size_t count, void* source) {
    if (size == 0) return 0;
    size_t wanted = std::min<size_t>(size * count, INT_MAX / size * size);
    int n = ReadForCodec(*static_cast<TStream*>(source), buffer, wanted);
    if (n < 0) errno = EIO;
    return n > 0 ? static_cast<size_t>(n) / size : 0;
}

int SeekStream(void* source, int64_t offset, int whence) {
    return SeekForCodec(*static_cast<TStream*>(source), offset, whence) < 0 ? -1 : 0;
}

// The stream belongs to LoadAudioSample, which closes it.
int KeepStreamOpen(void*) {
    return 0;
}

long TellStream(void* source) {
    try {
        return static_cast<TStream*>(source)->Pos();
    } catch (...) {
        return -1;
    }
}

struct DecoderRelease {
    void operator()(void* decoder) const { OggRead(decoder, nullptr, 0); }
};
using DecoderHandle = std::unique_ptr<void, DecoderRelease>;

} // namespace

void* OggOpen(void* source, OggReadFunc read, OggSeekFunc seek, OggCloseFunc close,
              OggTellFunc tell, int* length, int* channels, int* hertz) {
    *length = -1;
    auto* decoder = static_cast<OggVorbis_File*>(std::malloc(sizeof(OggVorbis_File)));
    if (!decoder) return nullptr;
    ov_callbacks callbacks{read, seek, close, tell};
    if (ov_open_callbacks(source, decoder, nullptr, 0, callbacks) < 0) {
        std::free(decoder);
        return nullptr;
    }
    // Opening a chained file scans every link and may leave the decoder in a
    // later one: the sample is the first link, so decoding starts there.
    bool seekable = ov_seekable(decoder) != 0;
    if (seekable) ov_pcm_seek(decoder, 0);
    ogg_int64_t total = ov_pcm_total(decoder, 0);
    *length = total >= 0 && total <= INT_MAX ? static_cast<int>(total) : -1;
    vorbis_info* info = ov_info(decoder, seekable ? 0 : -1);
    *channels = info ? info->channels : 0;
    *hertz = info ? static_cast<int>(info->rate) : 0;
    return decoder;
}

int OggRead(void* decoder, void* buffer, int bytes) {
    auto* file = static_cast<OggVorbis_File*>(decoder);
    if (!buffer) {
        ov_clear(file);
        std::free(file);
        return 0;
    }
    auto* out = static_cast<char*>(buffer);
    int left = bytes;
    int link = 0;
    while (left > 0) {
        long n = ov_read(file, out, left, 0, 2, 1, &link);
        // A damaged or missing page is a gap in the sound, as vorbisfile
        // itself plays it, not the end of it.
        if (n == OV_HOLE) continue;
        if (n < 0) return left == bytes ? static_cast<int>(n) : left;
        // A later link of a chained file may have other channels or rates.
        if (n == 0 || link != 0) break;
        out += n;
        left -= static_cast<int>(n);
    }
    return left;
}

namespace {

// Decoded 16-bit PCM is at most this many times the size of its Vorbis stream
// in all but near-silent files: the buffer starts there, not at the length
// the last page claims, which damage can make absurd, and grows for the rest.
constexpr int64_t usualExpansion = 64;
constexpr int64_t leastFirstFrames = 4096;

int FirstLength(int64_t streamBytes, int frameBytes, int limit) {
    int64_t frames = std::max(streamBytes * usualExpansion / frameBytes, leastFirstFrames);
    return static_cast<int>(std::min<int64_t>(frames, limit));
}

int GrownLength(int length, int limit) {
    return static_cast<int>(std::min<int64_t>(int64_t{length} * 3 / 2 + leastFirstFrames, limit));
}

// Decodes into the sample, growing it as needed up to `limit` frames: the
// frames decoded, or -1 when a decoding error came before any.
int DecodeInto(void* decoder, TAudioSample& sample, int limit) {
    int frameBytes = BytesPerSample[sample.Format()];
    int decoded = 0;
    for (;;) {
        int room = sample.Length() - decoded;
        int missing = OggRead(decoder, sample.Samples() + static_cast<size_t>(decoded) * frameBytes,
                              room * frameBytes);
        if (missing < 0) return decoded > 0 ? decoded : -1;
        decoded += room - (missing + frameBytes - 1) / frameBytes;
        if (missing > 0 || decoded >= limit) return decoded;
        sample.Resize(GrownLength(sample.Length(), limit));
    }
}

} // namespace

// More than two channels is refused rather than mixed down: the sample
// formats hold two at most. The stream's own total only bounds the decode.
Ref<TAudioSample> TAudioSampleLoaderOGG::LoadAudioSample(const Ref<TStream>& stream) {
    int64_t streamBytes = std::max(stream->Size() - stream->Pos(), 0);
    int length = 0, channels = 0, hertz = 0;
    DecoderHandle decoder(OggOpen(stream.get(), ReadStream, SeekStream, KeepStreamOpen, TellStream,
                                  &length, &channels, &hertz));
    if (!decoder || channels < 1 || channels > 2 || hertz <= 0) return nullptr;
    int frameBytes = 2 * channels;
    int limit = std::min(length >= 0 ? length : INT_MAX, INT_MAX / frameBytes);
    auto sample = CreateAudioSample(FirstLength(streamBytes, frameBytes, limit), hertz,
                                    channels == 1 ? SampleFormat::SampleMono16LE
                                                  : SampleFormat::SampleStereo16LE);
    int decoded = DecodeInto(decoder.get(), *sample, limit);
    if (decoded < 0) return nullptr;
    sample->Resize(decoded);
    return sample;
}

namespace {

// The first logical stream only, as the whole-sample loader reads it.
class OggDecoder final : public SoundDecoder {
public:
    OggDecoder(Ref<TStream> stream, DecoderHandle decoder, int length, int channels, int hertz)
        : stream_(std::move(stream)), decoder_(std::move(decoder)) {
        channels_ = channels;
        hertz_ = hertz;
        length_ = length;
    }

    int Read(int16_t* out, int frames) override {
        int bytes = frames * 2 * channels_;
        int missing = OggRead(decoder_.get(), out, bytes);
        if (missing < 0) return -1;
        return (bytes - missing) / (2 * channels_);
    }

    bool Seek(int64_t frame) override {
        return ov_pcm_seek(static_cast<OggVorbis_File*>(decoder_.get()), frame) == 0;
    }

private:
    Ref<TStream> stream_; // before the decoder, which reads it until it is gone
    DecoderHandle decoder_;
};

} // namespace

std::unique_ptr<SoundDecoder> OpenOggDecoder(const Ref<TStream>& stream) {
    int length = 0, channels = 0, hertz = 0;
    DecoderHandle decoder(OggOpen(stream.get(), ReadStream, SeekStream, KeepStreamOpen, TellStream,
                                  &length, &channels, &hertz));
    if (!decoder || channels < 1 || channels > 2 || hertz <= 0) return nullptr;
    return std::make_unique<OggDecoder>(stream, std::move(decoder), length, channels, hertz);
}

} // namespace zandrel
