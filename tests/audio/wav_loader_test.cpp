#include "audio/loaders.hpp"
#include "audio_test_support.hpp"

using namespace zandrel;
using namespace zandrel::test;

namespace {

Ref<TAudioSample> LoadBytes(const ByteVector& file) {
    TempFolder folder;
    WriteFileBytes(folder / "sound.wav", file);
    return LoadAudioSample(folder / "sound.wav");
}

ByteVector SampleBytes(const Ref<TAudioSample>& sample) {
    int bytes = sample->Length() * BytesPerSample[sample->Format()];
    return ByteVector(sample->Samples(), sample->Samples() + bytes);
}

// A stream that has no position.
class UnseekableStream : public TStream {
public:
    int Read(void*, int) override { return 0; }
    bool Close() override {
        ++closes;
        return true;
    }
    int closes = 0;
};

// A loader put in front of the others for one test.
class ThrowingLoader : public TAudioSampleLoader {
public:
    explicit ThrowingLoader(bool streamError) : streamError_(streamError) {}
    Ref<TAudioSample> LoadAudioSample(const Ref<TStream>& stream) override {
        stream->ReadInt();
        if (streamError_) throw TStreamReadError();
        throw RuntimeError("loader broke");
    }

private:
    bool streamError_;
};

} // namespace

TEST(WavLoader, LoadsEachPcmLayoutWithExactFrames) {
    struct Case {
        int channels, bits;
        SampleFormat format;
        ByteVector frames;
    };
    std::vector<Case> cases = {
        {1, 8, SampleFormat::SampleMono8, Bytes({0, 128, 255})},
        {2, 8, SampleFormat::SampleStereo8, Bytes({1, 2, 3, 4})},
        {1, 16, SampleFormat::SampleMono16LE, Pcm16({-32768, 0, 32767})},
        {2, 16, SampleFormat::SampleStereo16LE, Pcm16({100, -100, 7, -7})},
    };
    for (const auto& c : cases) {
        auto sample = LoadBytes(PcmWave(c.channels, 11025, c.bits, c.frames));
        ASSERT_TRUE(sample) << ToNumber(c.format);
        EXPECT_EQ(sample->Format(), c.format);
        EXPECT_EQ(sample->Hertz(), 11025);
        EXPECT_EQ(sample->Length(), static_cast<int>(c.frames.size()) / BytesPerSample[c.format]);
        EXPECT_EQ(SampleBytes(sample), c.frames);
    }
}

TEST(WavLoader, SkipsExtraFormatBytesAndOtherChunks) {
    auto frames = Pcm16({1, 2, 3});
    auto file = WaveFile({FormatChunk(1, 1, 8000, 16, 2),
                          {"LIST", ByteVector(10, 'x')},
                          {"fact", Bytes({3, 0, 0, 0})},
                          {"data", frames}});
    auto sample = LoadBytes(file);
    ASSERT_TRUE(sample);
    EXPECT_EQ(SampleBytes(sample), frames);
}

TEST(WavLoader, FindsFormatAndDataAmongOtherChunksInEitherOrder) {
    auto frames = Pcm16({11, -11, 22, -22});
    RiffChunk junk{"JUNK", ByteVector(28, 0)}, info{"LIST", ByteVector(9, 'i')};
    RiffChunk unpadded{"LIST", ByteVector(9, 'i'), false};
    RiffChunk format = FormatChunk(1, 2, 22050, 16), data{"data", frames};
    std::vector<std::vector<RiffChunk>> layouts = {
        {junk, format, data},       {info, format, data}, {unpadded, junk, format, data},
        {junk, data, info, format}, {data, format},
    };
    for (size_t i = 0; i < layouts.size(); ++i) {
        auto sample = LoadBytes(WaveFile(layouts[i]));
        ASSERT_TRUE(sample) << "layout " << i;
        EXPECT_EQ(sample->Format(), SampleFormat::SampleStereo16LE);
        EXPECT_EQ(sample->Hertz(), 22050);
        EXPECT_EQ(SampleBytes(sample), frames) << "layout " << i;
    }
}

TEST(WavLoader, FindsTheDataAfterOddChunksWithOrWithoutTheirPadByte) {
    auto frames = Pcm16({-5, 5});
    for (bool pad : {true, false}) {
        RiffChunk list{"LIST", ByteVector(7, 'y'), pad};
        auto sample = LoadBytes(WaveFile({FormatChunk(1, 2, 8000, 16), list, {"data", frames}}));
        ASSERT_TRUE(sample) << pad;
        EXPECT_EQ(SampleBytes(sample), frames);
    }
}

TEST(WavLoader, KeepsOnlyWholeFramesThatAreThere) {
    // Seven bytes of 16-bit stereo: one whole frame.
    auto ragged =
        LoadBytes(WaveFile({FormatChunk(1, 2, 8000, 16), {"data", Bytes({1, 2, 3, 4, 5, 6, 7})}}));
    ASSERT_TRUE(ragged);
    EXPECT_EQ(ragged->Length(), 1);
    EXPECT_EQ(SampleBytes(ragged), Bytes({1, 2, 3, 4}));

    // A size far past the end of the file: the frames present and no more.
    for (int64_t stated : {int64_t{1000}, int64_t{0xFFFFFFFF}}) {
        RiffChunk data{"data", Pcm16({9, 8, 7}), true, stated};
        auto truncated = LoadBytes(WaveFile({FormatChunk(1, 1, 8000, 16), data}));
        ASSERT_TRUE(truncated) << stated;
        EXPECT_EQ(truncated->Length(), 3);
        EXPECT_EQ(SampleBytes(truncated), Pcm16({9, 8, 7}));
    }
}

TEST(WavLoader, RefusesWhatItCannotPlay) {
    auto pcm = Pcm16({1, 2});
    std::vector<ByteVector> refused = {
        WaveFile({FormatChunk(3, 1, 8000, 32), {"data", ByteVector(8)}}), // floating point
        WaveFile({FormatChunk(1, 1, 8000, 24), {"data", ByteVector(6)}}),
        WaveFile({FormatChunk(1, 3, 8000, 16), {"data", ByteVector(6)}}),
        WaveFile({FormatChunk(1, 1, 0, 16), {"data", pcm}}),
        WaveFile({{"data", pcm}, FormatChunk(3, 1, 8000, 32)}), // data before a float format
        WaveFile({{"LIST", ByteVector(4)}, {"data", pcm}}),     // no format at all
        WaveFile({{"fmt ", ByteVector(12)}, {"data", pcm}}),    // format chunk too short
        WaveFile({FormatChunk(1, 1, 8000, 16), {"LIST", ByteVector(4)}}), // no data at all
        WaveFile({FormatChunk(1, 1, 8000, 16), {"LIST", ByteVector(4), true, 5000}, {"data", pcm}}),
        Bytes({'R', 'I', 'F', 'F', 0, 0}),
        ByteVector(),
    };
    for (size_t i = 0; i < refused.size(); ++i)
        EXPECT_FALSE(LoadBytes(refused[i])) << "file " << i;
}

TEST(WavLoader, ReadsFilesWrittenBySox) {
    TempFolder folder;
    struct Case {
        std::string options;
        SampleFormat format;
        int hertz;
    };
    for (const auto& c : {Case{"-r 22050 -b 16 -c 2", SampleFormat::SampleStereo16LE, 22050},
                          Case{"-r 8000 -b 8 -e unsigned -c 1", SampleFormat::SampleMono8, 8000}}) {
        std::string wav = folder / "sox.wav", raw = folder / "sox.raw";
        ASSERT_TRUE(
            RunCommand("sox -n " + c.options + " " + wav + " synth 0.25 sine 440 sine 660"));
        ASSERT_TRUE(RunCommand("sox " + wav + " -t raw " + raw));
        auto sample = LoadAudioSample(wav);
        ASSERT_TRUE(sample) << c.options;
        EXPECT_EQ(sample->Format(), c.format);
        EXPECT_EQ(sample->Hertz(), c.hertz);
        EXPECT_EQ(sample->Length(), c.hertz / 4);
        EXPECT_EQ(SampleBytes(sample), ReadFileBytes(raw));
    }
}

TEST(LoadAudioSample, AsksWavFirstThenOgg) {
    auto* first = FirstAudioSampleLoader();
    ASSERT_TRUE(first && first->Next());
    EXPECT_TRUE(dynamic_cast<TAudioSampleLoaderWAV*>(first));
    EXPECT_TRUE(dynamic_cast<TAudioSampleLoaderOGG*>(first->Next()));
}

TEST(LoadAudioSample, RefusesWhatNoLoaderKnows) {
    TempFolder folder;
    EXPECT_FALSE(LoadAudioSample(folder / "missing.wav"));
    WriteFileText(folder / "text.wav", "just some text, long enough to look at");
    EXPECT_FALSE(LoadAudioSample(folder / "text.wav"));
}

TEST(LoadAudioSample, NeedsASeekableStream) {
    auto stream = New<UnseekableStream>();
    try {
        LoadAudioSample(stream);
        ADD_FAILURE() << "no error";
    } catch (const RuntimeError& error) {
        EXPECT_EQ(error.Message(), u"Stream is not seekable");
    }
}

TEST(LoadAudioSample, StartsEachLoaderWhereTheStreamWas) {
    auto file = PcmWave(1, 8000, 8, Bytes({10, 20, 30}));
    file.insert(file.begin(), 5, 0xEE);
    auto stream = CreateBankStream(nullptr);
    stream->WriteBytes(file.data(), static_cast<int>(file.size()));
    stream->Seek(5);
    ThrowingLoader streamTrouble(true);
    auto sample = LoadAudioSample(stream);
    ASSERT_TRUE(sample);
    EXPECT_EQ(SampleBytes(sample), Bytes({10, 20, 30}));
}

TEST(LoadAudioSample, LetsErrorsOtherThanStreamErrorsThrough) {
    TempFolder folder;
    WriteFileBytes(folder / "a.wav", PcmWave(1, 8000, 8, Bytes({1})));
    ThrowingLoader broken(false);
    EXPECT_THROW(LoadAudioSample(folder / "a.wav"), RuntimeError);
}
