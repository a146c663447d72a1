// FLAC and MP3 against the reference decoders, on files Debian's encoders
// make from noise at the test's start.
#include "audio_test_support.hpp"

#include <cmath>
#include <cstring>

using namespace zandrel;
using namespace zandrel::test;

namespace {

// Smooth enough for MP3 to keep, busy enough that a shift shows.
ByteVector Wave(int frames, int channels, int bits) {
    ByteVector bytes;
    for (int i = 0; i < frames; ++i)
        for (int c = 0; c < channels; ++c) {
            double t = i * (0.031 + 0.017 * c);
            auto value = static_cast<int32_t>((std::sin(t) * 0.6 + std::sin(t * 7.3) * 0.3) *
                                              (bits == 24 ? 8388607 : 32767));
            for (int b = 0; b < bits / 8; ++b)
                bytes.push_back(static_cast<uint8_t>(value >> (8 * b)));
        }
    return bytes;
}

// The 16-bit values a 24-bit reference holds in its top two bytes.
ByteVector TopSixteenBits(const ByteVector& raw24) {
    ByteVector out;
    for (size_t i = 0; i + 2 < raw24.size(); i += 3) {
        out.push_back(raw24[i + 1]);
        out.push_back(raw24[i + 2]);
    }
    return out;
}

} // namespace

TEST(CodecLoaders, DecodeBitForBitAsTheReferenceDecodersDo) {
    TempFolder folder;
    struct Case {
        std::string name;
        int channels, hertz, bits;
        std::string encode;
    };
    for (const auto& c : {
             Case{"mono8k.flac", 1, 8000, 16, "flac -s -f -o %out %in"},
             Case{"stereo44k.flac", 2, 44100, 16, "flac -s -f -o %out %in"},
             Case{"stereo48k24.flac", 2, 48000, 24, "flac -s -f -o %out %in"},
             Case{"mono22k-cbr.mp3", 1, 22050, 16, "lame --quiet -b 64 %in %out"},
             Case{"stereo44k-vbr.mp3", 2, 44100, 16, "lame --quiet -V 5 %in %out"},
             Case{"stereo48k-id3.mp3", 2, 48000, 16,
                  "lame --quiet -b 160 --id3v2-only --tt Title --ta Artist %in %out"},
         }) {
        std::string in = folder / (c.name + ".wav"), out = folder / c.name, ref = out + ".raw";
        WriteFileBytes(in,
                       PcmWave(c.channels, c.hertz, c.bits, Wave(c.hertz / 3, c.channels, c.bits)));
        ASSERT_TRUE(Encode(c.encode, in, out)) << c.name;
        bool flac = c.name.ends_with(".flac");
        ASSERT_TRUE(RunCommand(flac ? "flac -s -d -f --force-raw-format --endian=little "
                                      "--sign=signed -o " +
                                          ref + " " + out
                                    : "(mpg123 -q -s " + out + " > " + ref + ")"));
        ByteVector expected = ReadFileBytes(ref);
        if (c.bits == 24) expected = TopSixteenBits(expected);

        auto sample = LoadAudioSample(out);
        ASSERT_TRUE(sample) << c.name << ": " << ToUtf8(LastLoadError());
        EXPECT_EQ(sample->Hertz(), c.hertz) << c.name;
        EXPECT_EQ(ChannelsPerSample[sample->Format()], c.channels) << c.name;
        ByteVector got(sample->Samples(),
                       sample->Samples() + sample->Length() * BytesPerSample[sample->Format()]);
        EXPECT_EQ(got.size(), expected.size()) << c.name;
        EXPECT_TRUE(got == expected) << c.name;
    }
}

TEST(CodecLoaders, RefuseDamagedFilesSayingWhy) {
    TempFolder folder;
    struct Case {
        std::string name;
        ByteVector bytes;
        std::string reason;
    };
    ByteVector id3Only{'I', 'D', '3', 4, 0, 0, 0, 0, 0, 10};
    id3Only.resize(400, 0x55);
    for (const auto& c :
         {Case{"magic.flac", {'f', 'L', 'a', 'C', 0, 0, 0, 34, 1, 2}, "not a playable FLAC file"},
          Case{"tag.mp3", id3Only, "not a playable MP3 file"}}) {
        WriteFileBytes(folder / c.name, c.bytes);
        EXPECT_FALSE(LoadSound(folder / c.name)) << c.name;
        EXPECT_NE(ToUtf8(LastLoadError()).find(c.reason), std::string::npos)
            << c.name << ": " << ToUtf8(LastLoadError());
        EXPECT_FALSE(StreamSound(folder / c.name)) << c.name;
    }
}
