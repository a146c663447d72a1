// Decoders that hand out 16-bit frames a piece at a time from a seekable
// stream. Streamed sounds read through them as they play; a format that has
// one also loads whole samples through the same calls, so a new format needs
// only its decoder and one line where the decoders are listed.
#pragma once

#include <zandrel/audio.hpp>

#include <cstddef>
#include <cstdint>
#include <memory>

namespace zandrel {

class SoundDecoder {
public:
    virtual ~SoundDecoder() = default;
    int Channels() const { return channels_; } // 1 or 2
    int Hertz() const { return hertz_; }
    int64_t Length() const { return length_; } // frames, -1 when the format does not say
    // Up to `frames` frames of signed 16-bit interleaved values: the count,
    // 0 at the end, -1 when the data cannot be decoded. Never throws.
    virtual int Read(int16_t* out, int frames) = 0;
    // Makes `frame` the next frame Read gives; false when it cannot.
    virtual bool Seek(int64_t frame) = 0;

protected:
    int channels_ = 0;
    int hertz_ = 0;
    int64_t length_ = -1;
};

// The codec libraries' read and seek callbacks over a stream. A C library's
// frames must never be unwound through, so neither throws: a stream error
// becomes the library's own failure path.
// Up to `bytes` bytes into `buffer`: the count, 0 at the end, -1 on an error.
int ReadForCodec(TStream& stream, void* buffer, size_t bytes);
// Moves to `offset` from the start, the position or the end (SEEK_SET,
// SEEK_CUR, SEEK_END): the new position, -1 when the stream cannot go there.
int64_t SeekForCodec(TStream& stream, int64_t offset, int whence);

// A decoder over the stream, positioned at its start, or null when the data
// is not the format's (LastLoadError may then say what was wrong with it).
using DecoderOpener = std::unique_ptr<SoundDecoder> (*)(const Ref<TStream>& stream);

std::unique_ptr<SoundDecoder> OpenWaveDecoder(const Ref<TStream>& stream);
std::unique_ptr<SoundDecoder> OpenOggDecoder(const Ref<TStream>& stream);
std::unique_ptr<SoundDecoder> OpenFlacDecoder(const Ref<TStream>& stream);
std::unique_ptr<SoundDecoder> OpenMp3Decoder(const Ref<TStream>& stream);

// The first decoder of the built-in formats that takes the stream; null and
// LastLoadError set when none does. Throws RuntimeError "Stream is not
// seekable" for a stream without a position.
std::unique_ptr<SoundDecoder> OpenSoundDecoder(const Ref<TStream>& stream);

// Every frame the decoder has left, as a 16-bit sample; null when not one
// frame decodes.
Ref<TAudioSample> DecodeWhole(SoundDecoder& decoder);

// A whole-sample loader for a format that has a decoder.
class TAudioSampleLoaderDecoded : public TAudioSampleLoader {
public:
    explicit TAudioSampleLoaderDecoded(DecoderOpener open) : open_(open) {}
    Ref<TAudioSample> LoadAudioSample(const Ref<TStream>& stream) override;

private:
    DecoderOpener open_;
};

} // namespace zandrel
