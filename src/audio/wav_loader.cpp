#include "loaders.hpp"

#include <algorithm>
#include <climits>
#include <optional>

namespace zandrel {

namespace {

String ReadTag(TStream& stream) {
    uint8_t tag[4];
    if (ReadUpTo(stream, tag, 4) != 4) return String();
    return FromBytes(tag, 4);
}

bool LooksLikeTag(const String& tag) {
    return tag.size() == 4 &&
           std::all_of(tag.begin(), tag.end(), [](char16_t c) { return c >= 0x20 && c < 0x7F; });
}

// Chunks start on even offsets, so an odd-sized chunk is followed by a pad
// byte. Some writers leave the pad out: where the bytes right after the
// chunk read as a tag, they are taken as one.
String ReadChunkTag(TStream& stream, int riffStart) {
    int pos = stream.Pos();
    String tag = ReadTag(stream);
    if ((pos - riffStart) % 2 == 0 || LooksLikeTag(tag)) return tag;
    stream.Seek(pos + 1);
    return ReadTag(stream);
}

// False when the chunk claims more bytes than the stream has.
bool SkipChunk(TStream& stream, int64_t size) {
    int64_t pos = stream.Pos();
    if (size < 0 || pos + size > stream.Size()) return false;
    return stream.Seek(static_cast<int>(pos + size)) == pos + size;
}

int64_t ReadChunkSize(TStream& stream) {
    return static_cast<uint32_t>(stream.ReadInt());
}

struct WaveFormat {
    SampleFormat format{};
    int hertz = 0;
};

SampleFormat SampleFormatFor(int channels, int bits) {
    if (bits == 8 && channels == 1) return SampleFormat::SampleMono8;
    if (bits == 8 && channels == 2) return SampleFormat::SampleStereo8;
    if (bits == 16 && channels == 1) return SampleFormat::SampleMono16LE;
    if (bits == 16 && channels == 2) return SampleFormat::SampleStereo16LE;
    return SampleFormat{};
}

// The "fmt " chunk after its tag; format 0 when it is not PCM we can hold.
WaveFormat ReadFormatChunk(TStream& stream) {
    int64_t size = ReadChunkSize(stream);
    if (size < 16) return {};
    int tag = stream.ReadShort();
    int channels = stream.ReadShort();
    int hertz = stream.ReadInt();
    stream.ReadInt();   // bytes per second
    stream.ReadShort(); // block align
    int bits = stream.ReadShort();
    if (tag != 1 || hertz <= 0) return {};
    if (!SkipChunk(stream, size - 16)) return {};
    return {SampleFormatFor(channels, bits), hertz};
}

// Only whole frames that are really there: a chunk may claim more bytes than
// the file holds, or a size that is no multiple of the frame size.
Ref<TAudioSample> ReadDataChunk(TStream& stream, const WaveFormat& wave) {
    int frameBytes = BytesPerSample[wave.format];
    int64_t size = ReadChunkSize(stream);
    int64_t available = stream.Size() - static_cast<int64_t>(stream.Pos());
    size = std::min({size, std::max<int64_t>(available, 0), int64_t{INT_MAX}});
    int frames = static_cast<int>(size / frameBytes);
    auto sample = CreateAudioSample(frames, wave.hertz, wave.format);
    int got = ReadUpTo(stream, sample->Samples(), frames * frameBytes);
    sample->Resize(got / frameBytes);
    return sample;
}

} // namespace

// Recorders put JUNK padding or LIST/INFO chunks anywhere, even before the
// format; a data chunk met before its format is read once the format is known.
Ref<TAudioSample> TAudioSampleLoaderWAV::LoadAudioSample(const Ref<TStream>& source) {
    auto stream = LittleEndianStream(source);
    int riffStart = stream->Pos();
    if (ReadTag(*stream) != u"RIFF") return nullptr;
    stream->ReadInt(); // the RIFF size says nothing the chunks do not
    if (ReadTag(*stream) != u"WAVE") return nullptr;
    std::optional<WaveFormat> wave;
    int dataSizeAt = -1;
    while (!stream->Eof()) {
        String tag = ReadChunkTag(*stream, riffStart);
        if (tag.empty()) break;
        if (tag == u"fmt " && !wave) {
            wave = ReadFormatChunk(*stream);
            if (wave->format == SampleFormat{}) return nullptr;
            if (dataSizeAt < 0) continue;
            stream->Seek(dataSizeAt);
            return ReadDataChunk(*stream, *wave);
        }
        if (tag == u"data" && wave) return ReadDataChunk(*stream, *wave);
        if (tag == u"data" && dataSizeAt < 0) dataSizeAt = stream->Pos();
        if (!SkipChunk(*stream, ReadChunkSize(*stream))) break;
    }
    return nullptr;
}

} // namespace zandrel
