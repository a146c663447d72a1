#include "loaders.hpp"
#include "sound_decoder.hpp"

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

// Where the frames are. Only whole frames that are really there count: a
// chunk may claim more bytes than the file holds, or a size that is no
// multiple of the frame size.
struct WaveData {
    WaveFormat wave;
    int start = 0;
    int frames = 0;
};

WaveData DataChunkAt(TStream& stream, const WaveFormat& wave) {
    int frameBytes = BytesPerSample[wave.format];
    int64_t size = ReadChunkSize(stream);
    int64_t available = stream.Size() - static_cast<int64_t>(stream.Pos());
    size = std::min({size, std::max<int64_t>(available, 0), int64_t{INT_MAX}});
    return {wave, stream.Pos(), static_cast<int>(size / frameBytes)};
}

// Recorders put JUNK padding or LIST/INFO chunks anywhere, even before the
// format; a data chunk met before its format is read once the format is known.
std::optional<WaveData> FindWaveData(TStream& stream) {
    int riffStart = stream.Pos();
    if (ReadTag(stream) != u"RIFF") return std::nullopt;
    stream.ReadInt(); // the RIFF size says nothing the chunks do not
    if (ReadTag(stream) != u"WAVE") return std::nullopt;
    std::optional<WaveFormat> wave;
    int dataSizeAt = -1;
    while (!stream.Eof()) {
        String tag = ReadChunkTag(stream, riffStart);
        if (tag.empty()) break;
        if (tag == u"fmt " && !wave) {
            wave = ReadFormatChunk(stream);
            if (wave->format == SampleFormat{}) return std::nullopt;
            if (dataSizeAt < 0) continue;
            stream.Seek(dataSizeAt);
            return DataChunkAt(stream, *wave);
        }
        if (tag == u"data" && wave) return DataChunkAt(stream, *wave);
        if (tag == u"data" && dataSizeAt < 0) dataSizeAt = stream.Pos();
        if (!SkipChunk(stream, ReadChunkSize(stream))) break;
    }
    return std::nullopt;
}

// Eight-bit frames come out as the 16-bit values the mixer reads them as.
class WaveDecoder final : public SoundDecoder {
public:
    WaveDecoder(Ref<TStream> stream, const WaveData& data)
        : stream_(std::move(stream)), data_(data), frameBytes_(BytesPerSample[data.wave.format]),
          eightBit_(frameBytes_ == ChannelsPerSample[data.wave.format]) {
        channels_ = ChannelsPerSample[data.wave.format];
        hertz_ = data.wave.hertz;
        length_ = data.frames;
    }

    int Read(int16_t* out, int frames) override {
        frames = static_cast<int>(std::min<int64_t>(frames, length_ - next_));
        if (frames <= 0) return 0;
        int bytes = frames * frameBytes_;
        auto* raw = reinterpret_cast<uint8_t*>(out) + (eightBit_ ? bytes : 0);
        try {
            bytes = ReadUpTo(*stream_, raw, bytes);
        } catch (const RuntimeError&) {
            return -1;
        }
        frames = bytes / frameBytes_;
        if (eightBit_)
            for (int i = 0; i < frames * channels_; ++i)
                out[i] = static_cast<int16_t>(raw[i] * 256 - 32768);
        next_ += frames;
        return frames;
    }

    bool Seek(int64_t frame) override {
        if (frame < 0 || frame > length_) return false;
        int64_t offset = data_.start + frame * frameBytes_;
        try {
            if (stream_->Seek(static_cast<int>(offset)) != offset) return false;
        } catch (const RuntimeError&) {
            return false;
        }
        next_ = frame;
        return true;
    }

private:
    Ref<TStream> stream_;
    WaveData data_;
    int frameBytes_;
    bool eightBit_;
    int64_t next_ = 0;
};

} // namespace

Ref<TAudioSample> TAudioSampleLoaderWAV::LoadAudioSample(const Ref<TStream>& source) {
    auto stream = LittleEndianStream(source);
    auto data = FindWaveData(*stream);
    if (!data) return nullptr;
    int frameBytes = BytesPerSample[data->wave.format];
    auto sample = CreateAudioSample(data->frames, data->wave.hertz, data->wave.format);
    int got = ReadUpTo(*stream, sample->Samples(), data->frames * frameBytes);
    sample->Resize(got / frameBytes);
    return sample;
}

// The stream is read as it is: the frames are little-endian, as the machine is.
std::unique_ptr<SoundDecoder> OpenWaveDecoder(const Ref<TStream>& stream) {
    auto data = FindWaveData(*LittleEndianStream(stream));
    if (!data) return nullptr;
    return std::make_unique<WaveDecoder>(stream, *data);
}

} // namespace zandrel
