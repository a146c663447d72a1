#include "sound_decoder.hpp"

#include <algorithm>
#include <climits>
#include <cstdio>

namespace zandrel {

namespace {

// Asked in this order; each looks at the first bytes before it decodes.
constexpr DecoderOpener Openers[] = {OpenWaveDecoder, OpenOggDecoder, OpenFlacDecoder,
                                     OpenMp3Decoder};

} // namespace

int ReadForCodec(TStream& stream, void* buffer, size_t bytes) {
    try {
        int n = stream.Read(buffer, static_cast<int>(std::min<size_t>(bytes, INT_MAX)));
        return n > 0 ? n : 0;
    } catch (...) {
        return -1;
    }
}

int64_t SeekForCodec(TStream& stream, int64_t offset, int whence) {
    try {
        int64_t base = whence == SEEK_SET   ? 0
                       : whence == SEEK_CUR ? stream.Pos()
                       : whence == SEEK_END ? stream.Size()
                                            : -1;
        int64_t target = base + offset;
        if (base < 0 || target < 0 || target > INT_MAX) return -1;
        return stream.Seek(static_cast<int>(target)) == target ? target : -1;
    } catch (...) {
        return -1;
    }
}

std::unique_ptr<SoundDecoder> OpenSoundDecoder(const Ref<TStream>& stream) {
    int start = stream->Pos();
    if (start == -1) throw RuntimeError("Stream is not seekable");
    String opened = LastLoadError();
    for (DecoderOpener open : Openers) {
        stream->Seek(start);
        SetLoadError(String());
        try {
            if (auto decoder = open(stream)) return decoder;
        } catch (const TStreamError&) {
            // Data this decoder could not read is simply not its kind.
        }
        if (!LastLoadError().empty()) return nullptr;
    }
    SetLoadError(opened);
    RefusedAs("a WAV, Ogg Vorbis, FLAC or MP3 file");
    return nullptr;
}

// Grows by half again each time, so a decoder that does not know its length
// costs few copies.
Ref<TAudioSample> DecodeWhole(SoundDecoder& decoder) {
    int channels = decoder.Channels();
    int frameBytes = 2 * channels;
    int limit = INT_MAX / frameBytes;
    int64_t length = decoder.Length();
    int first = static_cast<int>(std::clamp<int64_t>(length >= 0 ? length : 65536, 1, limit));
    auto sample = CreateAudioSample(first, decoder.Hertz(),
                                    channels == 1 ? SampleFormat::SampleMono16LE
                                                  : SampleFormat::SampleStereo16LE);
    int decoded = 0;
    for (;;) {
        if (decoded == sample->Length()) {
            if (decoded == limit) break;
            sample->Resize(
                static_cast<int>(std::min<int64_t>(int64_t{decoded} * 3 / 2 + 4096, limit)));
        }
        auto* out = reinterpret_cast<int16_t*>(sample->Samples()) + int64_t{decoded} * channels;
        int n = decoder.Read(out, sample->Length() - decoded);
        if (n <= 0) {
            if (n < 0 && decoded == 0) return nullptr;
            break;
        }
        decoded += n;
    }
    sample->Resize(decoded);
    return sample;
}

Ref<TAudioSample> TAudioSampleLoaderDecoded::LoadAudioSample(const Ref<TStream>& stream) {
    auto decoder = open_(stream);
    return decoder ? DecodeWhole(*decoder) : nullptr;
}

} // namespace zandrel
