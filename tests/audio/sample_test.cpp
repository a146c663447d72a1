#include "audio_test_support.hpp"

using namespace zandrel;
using namespace zandrel::test;

namespace {

ByteVector Convert(const ByteVector& source, SampleFormat from, SampleFormat to, int frames) {
    ByteVector out(static_cast<size_t>(frames * BytesPerSample[to]));
    ConvertSamples(source.data(), from, out.data(), to, frames);
    return out;
}

ByteVector Stereo16BE(int left, int right) {
    return Bytes({(left >> 8) & 0xFF, left & 0xFF, (right >> 8) & 0xFF, right & 0xFF});
}

} // namespace

TEST(SampleFormats, TablesMatchTheFormats) {
    const int bytes[7] = {0, 1, 2, 2, 2, 4, 4};
    const int channels[7] = {0, 1, 1, 1, 2, 2, 2};
    for (int f = 0; f < 7; ++f) {
        EXPECT_EQ(BytesPerSample[static_cast<SampleFormat>(f)], bytes[f]) << f;
        EXPECT_EQ(ChannelsPerSample[static_cast<SampleFormat>(f)], channels[f]) << f;
    }
}

TEST(ConvertSamples, ExpandsEightBitToTheFullSixteenBitRange) {
    auto out =
        Convert(Bytes({255, 0, 128}), SampleFormat::SampleMono8, SampleFormat::SampleStereo16BE, 3);
    EXPECT_EQ(out, Bytes({0x7F, 0xFF, 0x7F, 0xFF, 0x80, 0x00, 0x80, 0x00, 0x00, 0x80, 0x00, 0x80}));
    EXPECT_EQ(
        Convert(Bytes({255, 0}), SampleFormat::SampleStereo8, SampleFormat::SampleStereo16BE, 1),
        Bytes({0x7F, 0xFF, 0x80, 0x00}));
}

TEST(ConvertSamples, MixesDownWithTruncationTowardZero) {
    EXPECT_EQ(Convert(Stereo16BE(1000, -1000), SampleFormat::SampleStereo16BE,
                      SampleFormat::SampleMono16LE, 1),
              Bytes({0, 0}));
    EXPECT_EQ(
        Convert(Stereo16BE(3, 0), SampleFormat::SampleStereo16BE, SampleFormat::SampleMono16LE, 1),
        Bytes({1, 0}));
    EXPECT_EQ(
        Convert(Stereo16BE(-3, 0), SampleFormat::SampleStereo16BE, SampleFormat::SampleMono16BE, 1),
        Bytes({0xFF, 0xFF}));
    EXPECT_EQ(Convert(Stereo16BE(-32768, 32767), SampleFormat::SampleStereo16BE,
                      SampleFormat::SampleStereo8, 1),
              Bytes({0, 255}));
    // (-32768 + 32767) / 2 truncates to 0, and 32768 / 257 to 127.
    EXPECT_EQ(Convert(Stereo16BE(-32768, 32767), SampleFormat::SampleStereo16BE,
                      SampleFormat::SampleMono8, 1),
              Bytes({127}));
}

TEST(ConvertSamples, GoesThroughThePivotBetweenAnyTwoFormats) {
    // Little-endian stereo 0x1234 / -2 to big-endian mono: (4660 - 2) / 2 = 2329.
    auto le = Bytes({0x34, 0x12, 0xFE, 0xFF});
    EXPECT_EQ(Convert(le, SampleFormat::SampleStereo16LE, SampleFormat::SampleMono16BE, 1),
              Bytes({0x09, 0x19}));
    EXPECT_EQ(Convert(le, SampleFormat::SampleStereo16LE, SampleFormat::SampleStereo16BE, 1),
              Bytes({0x12, 0x34, 0xFF, 0xFE}));
    EXPECT_EQ(Convert(Bytes({0x12, 0x34}), SampleFormat::SampleMono16BE,
                      SampleFormat::SampleStereo16LE, 1),
              Bytes({0x34, 0x12, 0x34, 0x12}));
    EXPECT_EQ(Convert(Bytes({200}), SampleFormat::SampleMono8, SampleFormat::SampleStereo8, 1),
              Bytes({200, 200}));
    EXPECT_EQ(Convert(Bytes({1, 2, 3}), SampleFormat::SampleMono8, SampleFormat::SampleMono8, 3),
              Bytes({1, 2, 3}));
}

TEST(ConvertSamples, RefusesUnknownFormats) {
    ByteVector buffer(16);
    for (auto [from, to] : {std::pair{0, 2}, {2, 7}, {7, 7}, {-1, 1}}) {
        try {
            ConvertSamples(buffer.data(), static_cast<SampleFormat>(from), buffer.data(),
                           static_cast<SampleFormat>(to), 1);
            ADD_FAILURE() << from << " -> " << to;
        } catch (const RuntimeError& error) {
            EXPECT_EQ(error.Message(), u"Unimplemented sample format conversion");
        }
    }
}

TEST(AudioSample, OwnsCopiesAndConvertsItsFrames) {
    auto sample = CreateAudioSample(3, 22050, SampleFormat::SampleStereo16LE);
    EXPECT_EQ(sample->Capacity(), 12);
    EXPECT_EQ(sample->Length(), 3);
    EXPECT_EQ(sample->Hertz(), 22050);
    for (int i = 0; i < 12; ++i)
        sample->Samples()[i] = static_cast<uint8_t>(i);

    auto copy = sample->Copy();
    sample->Samples()[0] = 99;
    EXPECT_EQ(copy->Samples()[0], 0);
    EXPECT_EQ(copy->Capacity(), 12);

    auto mono = copy->Convert(SampleFormat::SampleMono16BE);
    EXPECT_EQ(mono->Format(), SampleFormat::SampleMono16BE);
    EXPECT_EQ(mono->Length(), 3);
    EXPECT_EQ(mono->Hertz(), 22050);
    // (0x0100 + 0x0302) / 2 = 0x0201, stored high byte first.
    EXPECT_EQ(mono->Samples()[0], 0x02);
    EXPECT_EQ(mono->Samples()[1], 0x01);
    EXPECT_THROW(copy->Convert(static_cast<SampleFormat>(9)), RuntimeError);
}

TEST(AudioSample, StaticSamplesLeaveTheMemoryToItsOwner) {
    ByteVector frames{1, 2, 3, 4};
    {
        auto sample = CreateStaticAudioSample(frames.data(), 4, 8000, SampleFormat::SampleMono8);
        EXPECT_EQ(sample->Capacity(), -1);
        EXPECT_EQ(sample->Samples(), frames.data());
        EXPECT_EQ(sample->Copy()->Capacity(), 4);
    }
    EXPECT_EQ(frames, Bytes({1, 2, 3, 4}));
}

TEST(AudioSample, ResizeKeepsSharedFramesAndFitsTheBuffer) {
    auto sample = CreateAudioSample(4, 8000, SampleFormat::SampleMono16LE);
    for (int i = 0; i < 8; ++i)
        sample->Samples()[i] = static_cast<uint8_t>(i + 1);
    // The two frames that every length below shares keep their values.
    for (int length : {1000, 3, 2, 0}) {
        sample->Resize(length);
        EXPECT_EQ(sample->Length(), length);
        EXPECT_EQ(sample->Capacity(), length * 2);
        if (length == 2) {
            EXPECT_EQ(ByteVector(sample->Samples(), sample->Samples() + 4), Bytes({1, 2, 3, 4}));
        }
    }

    ByteVector frames{1, 2, 3, 4};
    auto borrowed = CreateStaticAudioSample(frames.data(), 4, 8000, SampleFormat::SampleMono8);
    borrowed->Resize(2);
    EXPECT_EQ(borrowed->Length(), 2);
    EXPECT_EQ(borrowed->Samples(), frames.data());
    EXPECT_THROW(borrowed->Resize(3), RuntimeError);
    EXPECT_THROW(sample->Resize(-1), RuntimeError);
}

TEST(AudioSample, RefusesImpossibleShapes) {
    EXPECT_THROW(CreateAudioSample(-1, 44100, SampleFormat::SampleMono8), RuntimeError);
    EXPECT_THROW(CreateAudioSample(1, 44100, static_cast<SampleFormat>(7)), RuntimeError);
    EXPECT_THROW(CreateAudioSample(0x40000000, 44100, SampleFormat::SampleStereo16LE),
                 RuntimeError);
    EXPECT_EQ(CreateAudioSample(0, 44100, SampleFormat::SampleMono8)->Length(), 0);
}
