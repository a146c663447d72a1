#include "audio/loaders.hpp"
#include "audio_test_support.hpp"

#include <cmath>

using namespace zandrel;
using namespace zandrel::test;

namespace {

// Two tones, different on each channel, `frames` long.
ByteVector Tones(int channels, int frames, int hertz) {
    std::vector<int16_t> values;
    for (int i = 0; i < frames; ++i)
        for (int c = 0; c < channels; ++c)
            values.push_back(
                static_cast<int16_t>(12000 * std::sin(2 * M_PI * (330.0 + 110 * c) * i / hertz)));
    return Pcm16(values);
}

// An Ogg Vorbis file encoded from the tones; empty when oggenc fails.
std::string EncodeOgg(const TempFolder& folder, const std::string& name, int channels, int frames,
                      int hertz = 44100) {
    std::string wav = folder / (name + ".wav"), ogg = folder / (name + ".ogg");
    WriteFileBytes(wav, PcmWave(channels, hertz, 16, Tones(channels, frames, hertz)));
    return RunCommand("oggenc -Q -q 2 -o " + ogg + " " + wav) ? ogg : std::string();
}

uint32_t OggCrc(const ByteVector& bytes, size_t from, size_t to) {
    uint32_t crc = 0;
    for (size_t i = from; i < to; ++i) {
        crc ^= static_cast<uint32_t>(bytes[i]) << 24;
        for (int bit = 0; bit < 8; ++bit)
            crc = crc & 0x80000000u ? (crc << 1) ^ 0x04C11DB7u : crc << 1;
    }
    return crc;
}

// Makes the last page claim `extra` more frames than the stream holds, as a
// damaged file does: the decoder then runs dry before the reported total.
void OverstateLastPage(ByteVector& file, int64_t extra) {
    const std::string capture = "OggS";
    size_t page = std::string(file.begin(), file.end()).rfind(capture);
    ASSERT_NE(page, std::string::npos);
    int64_t granule = 0;
    for (int i = 7; i >= 0; --i)
        granule = granule << 8 | file[page + 6 + i];
    granule += extra;
    for (int i = 0; i < 8; ++i)
        file[page + 6 + i] = static_cast<uint8_t>(granule >> (8 * i));
    for (int i = 0; i < 4; ++i)
        file[page + 22 + i] = 0;
    uint32_t crc = OggCrc(file, page, file.size());
    for (int i = 0; i < 4; ++i)
        file[page + 22 + i] = static_cast<uint8_t>(crc >> (8 * i));
}

} // namespace

TEST(OggLoader, DecodesTheSamePcmAsVorbisfile) {
    TempFolder folder;
    for (int channels : {1, 2}) {
        std::string ogg = EncodeOgg(folder, "tones" + std::to_string(channels), channels, 30000);
        ASSERT_FALSE(ogg.empty());
        auto direct = DecodeWithVorbisfile(ogg);
        auto sample = LoadAudioSample(ogg);
        ASSERT_TRUE(sample) << channels;
        EXPECT_EQ(sample->Format(),
                  channels == 1 ? SampleFormat::SampleMono16LE : SampleFormat::SampleStereo16LE);
        EXPECT_EQ(sample->Hertz(), 44100);
        EXPECT_EQ(sample->Length(), direct.total);
        EXPECT_EQ(sample->Length(), 30000);
        ByteVector pcm(sample->Samples(), sample->Samples() + sample->Capacity());
        EXPECT_TRUE(pcm == direct.pcm) << channels << " channels differ from vorbisfile";
    }
}

TEST(OggLoader, RefusesMoreThanTwoChannels) {
    TempFolder folder;
    std::string ogg = EncodeOgg(folder, "three", 3, 5000);
    ASSERT_FALSE(ogg.empty());
    ASSERT_EQ(DecodeWithVorbisfile(ogg).channels, 3);
    EXPECT_FALSE(LoadAudioSample(ogg));
}

TEST(OggLoader, DecodesWhatIsThereWhenTheLastPageClaimsMore) {
    struct Case {
        int channels, frames;
        int64_t extra;
    };
    // A little more; ~2^30 frames of mono (2 GB of PCM); a total beyond 32 bits.
    const Case cases[] = {{2, 200000, 50000},
                          {1, 300000, (int64_t{1} << 30) - 300000 - 32},
                          {2, 150000, int64_t{1} << 40}};
    TempFolder folder;
    for (const auto& c : cases) {
        std::string ogg = EncodeOgg(folder, "long", c.channels, c.frames);
        ASSERT_FALSE(ogg.empty());
        auto file = ReadFileBytes(ogg);
        OverstateLastPage(file, c.extra);
        WriteFileBytes(folder / "damaged.ogg", file);
        auto direct = DecodeWithVorbisfile(folder / "damaged.ogg");
        int frameBytes = 2 * c.channels;
        ASSERT_EQ(direct.total, c.frames + c.extra);
        // Without a true end to trim to, the last packet comes out whole.
        ASSERT_GE(direct.pcm.size(), size_t(c.frames) * frameBytes);
        ASSERT_LT(direct.pcm.size(), size_t(c.frames + 1000) * frameBytes);

        auto sample = LoadAudioSample(folder / "damaged.ogg");
        ASSERT_TRUE(sample) << c.extra;
        EXPECT_EQ(sample->Length(), static_cast<int>(direct.pcm.size() / frameBytes));
        EXPECT_EQ(sample->Capacity(), sample->Length() * frameBytes) << c.extra;
        EXPECT_TRUE(std::equal(direct.pcm.begin(), direct.pcm.end(), sample->Samples()));
    }
}

TEST(OggLoader, GrowsPastWhatTheFileSizeSuggests) {
    // Near silence packs far more frames into each byte than music does.
    TempFolder folder;
    std::string wav = folder / "quiet.wav", ogg = folder / "quiet.ogg";
    WriteFileBytes(wav, PcmWave(2, 44100, 16, ByteVector(44100 * 4 * 20, 0)));
    ASSERT_TRUE(RunCommand("oggenc -Q -q 0 -o " + ogg + " " + wav));
    ASSERT_LT(ReadFileBytes(ogg).size() * 64, 44100u * 4 * 20);
    auto direct = DecodeWithVorbisfile(ogg);
    auto sample = LoadAudioSample(ogg);
    ASSERT_TRUE(sample);
    EXPECT_EQ(sample->Length(), 44100 * 20);
    EXPECT_EQ(sample->Capacity(), 44100 * 20 * 4);
    EXPECT_TRUE(ByteVector(sample->Samples(), sample->Samples() + sample->Capacity()) ==
                direct.pcm);
}

TEST(OggLoader, PlaysOnPastADamagedPage) {
    TempFolder folder;
    std::string ogg = EncodeOgg(folder, "tones", 2, 200000);
    ASSERT_FALSE(ogg.empty());
    auto file = ReadFileBytes(ogg);
    // A byte in the body of a page half-way through: its checksum no longer holds.
    const std::string text(file.begin(), file.end());
    size_t page = text.find("OggS", file.size() / 2);
    ASSERT_NE(page, std::string::npos);
    file[page + 27 + file[page + 26] + 10] ^= 0x55;
    WriteFileBytes(folder / "damaged.ogg", file);
    auto direct = DecodeWithVorbisfile(folder / "damaged.ogg");
    ASSERT_EQ(direct.holes, 1);
    ASSERT_GT(direct.pcm.size(), 100000u * 4);

    auto sample = LoadAudioSample(folder / "damaged.ogg");
    ASSERT_TRUE(sample);
    EXPECT_EQ(sample->Length(), static_cast<int>(direct.pcm.size() / 4));
    EXPECT_TRUE(std::equal(direct.pcm.begin(), direct.pcm.end(), sample->Samples()));
}

TEST(OggLoader, IsAskedOnlyAfterTheWavLoaderRefuses) {
    TempFolder folder;
    std::string ogg = EncodeOgg(folder, "tones", 1, 4000);
    ASSERT_FALSE(ogg.empty());
    auto stream = OpenReadStream(ogg);
    TAudioSampleLoaderWAV wav;
    EXPECT_FALSE(wav.LoadAudioSample(stream));
    stream->Seek(0);
    TAudioSampleLoaderOGG vorbis;
    EXPECT_TRUE(vorbis.LoadAudioSample(stream));

    // Not Ogg at all, and Ogg cut off inside its headers.
    stream = OpenReadStream(folder / "tones.wav");
    EXPECT_FALSE(vorbis.LoadAudioSample(stream));
    auto bytes = ReadFileBytes(ogg);
    bytes.resize(100);
    WriteFileBytes(folder / "cut.ogg", bytes);
    EXPECT_FALSE(LoadAudioSample(folder / "cut.ogg"));
}

TEST(OggLoader, DamagedChainsEndCleanly) {
    // Found by fuzzing: vorbisfile itself loses some bytes opening these (a
    // plain open and clear of them leaks too), which the sanitizer run must
    // not count against the loader. Whatever loads is trimmed to its frames.
    for (const char* name :
         {"chain-with-damaged-second-setup.ogg", "chain-with-damaged-codebook.ogg",
          "chain-with-damaged-link-header.ogg"}) {
        Ref<TAudioSample> sample;
        ASSERT_NO_THROW(sample = LoadAudioSample(std::string(AUDIO_DATA_DIR "/") + name)) << name;
        if (sample) {
            EXPECT_EQ(sample->Capacity(), sample->Length() * BytesPerSample[sample->Format()]);
        }
    }
    EXPECT_FALSE(LoadAudioSample(AUDIO_DATA_DIR "/chain-with-damaged-second-setup.ogg"));
}

TEST(OggRead, ReportsWhatItCouldNotFill) {
    TempFolder folder;
    std::string ogg = EncodeOgg(folder, "tones", 1, 3000);
    ASSERT_FALSE(ogg.empty());
    FILE* file = std::fopen(ogg.c_str(), "rb");
    ASSERT_TRUE(file);
    auto read = [](void* buffer, size_t size, size_t count, void* source) {
        return std::fread(buffer, size, count, static_cast<FILE*>(source));
    };
    auto seek = [](void* source, int64_t offset, int whence) {
        return std::fseek(static_cast<FILE*>(source), static_cast<long>(offset), whence);
    };
    auto close = [](void*) { return 0; };
    auto tell = [](void* source) { return std::ftell(static_cast<FILE*>(source)); };
    int length = 0, channels = 0, hertz = 0;
    void* decoder = OggOpen(file, read, seek, close, tell, &length, &channels, &hertz);
    ASSERT_TRUE(decoder);
    EXPECT_EQ(length, 3000);
    EXPECT_EQ(channels, 1);
    EXPECT_EQ(hertz, 44100);
    ByteVector buffer(3000 * 2 + 100);
    EXPECT_EQ(OggRead(decoder, buffer.data(), static_cast<int>(buffer.size())), 100);
    EXPECT_EQ(OggRead(decoder, nullptr, 0), 0);
    std::fclose(file);
}

TEST(OggLoader, ChainedFileGivesItsFirstLinkWhole) {
    struct Link {
        int channels, hertz, frames;
    };
    const std::pair<Link, Link> chains[] = {
        {{1, 22050, 55125}, {2, 44100, 30000}},
        {{1, 8000, 20000}, {1, 22050, 10000}},
        {{2, 44100, 30000}, {1, 22050, 10000}},
    };
    TempFolder folder;
    for (const auto& [first, second] : chains) {
        SCOPED_TRACE(std::to_string(first.channels) + "x" + std::to_string(first.hertz));
        std::string a = EncodeOgg(folder, "a", first.channels, first.frames, first.hertz);
        std::string b = EncodeOgg(folder, "b", second.channels, second.frames, second.hertz);
        ASSERT_FALSE(a.empty() || b.empty());
        ByteVector chain = ReadFileBytes(a), tail = ReadFileBytes(b);
        chain.insert(chain.end(), tail.begin(), tail.end());
        WriteFileBytes(folder / "chain.ogg", chain);
        auto sample = LoadAudioSample(folder / "chain.ogg");
        ASSERT_TRUE(sample);
        EXPECT_EQ(sample->Length(), first.frames);
        EXPECT_EQ(sample->Hertz(), first.hertz);
        EXPECT_EQ(ChannelsPerSample[sample->Format()], first.channels);
    }
}

TEST(SampleLoaders, SizeClaimsBeyondTheDataAllocateNothingForThem) {
    if (!AddressLimitsHold) GTEST_SKIP() << "the sanitizer reserves the address space";
    TempFolder folder;
    // A data chunk that claims two gigabytes and holds 1000 frames.
    ByteVector wav = PcmWave(1, 44100, 16, Tones(1, 1000, 44100));
    for (int i = 0; i < 4; ++i)
        wav[40 + i] = static_cast<uint8_t>(0x7FFFFF00u >> (8 * i));
    WriteFileBytes(folder / "claims.wav", wav);
    // A last page that claims half a billion frames more than there are.
    ByteVector ogg = ReadFileBytes(EncodeOgg(folder, "tones", 1, 3000));
    OverstateLastPage(ogg, 500'000'000);
    WriteFileBytes(folder / "claims.ogg", ogg);
    for (auto [name, held] : {std::pair{"claims.wav", 1000}, std::pair{"claims.ogg", 3000}}) {
        SCOPED_TRACE(name);
        std::string path = folder / name;
        int frames = held; // a lambda cannot capture a structured binding in clang 14
        EXPECT_EQ(RunWithAddressHeadroom(64 << 20,
                                         [&] {
                                             auto sample = LoadAudioSample(path);
                                             // Without a true end to trim to, the last packet comes
                                             // out whole.
                                             bool whole = sample && sample->Length() >= frames &&
                                                          sample->Length() < frames + 2048;
                                             return whole ? 0 : 1;
                                         }),
                  0);
    }
}
