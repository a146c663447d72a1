#include "audio_test_support.hpp"

#include <chrono>
#include <functional>
#include <thread>

using namespace zandrel;
using namespace zandrel::test;

namespace {

// Values that no shift, gap or repeat reproduces.
ByteVector Noise(int frames, int channels, int bits) {
    ByteVector bytes;
    uint32_t seed = 99;
    for (int i = 0; i < frames * channels; ++i) {
        seed = seed * 1103515245 + 12345;
        int value = static_cast<int>(seed >> 16) % 30000 - 15000;
        if (bits == 8)
            bytes.push_back(static_cast<uint8_t>(value / 256 + 128));
        else
            PutLE16(bytes, value);
    }
    return bytes;
}

// Looped at 1.1 times its speed, so that positions fall between frames and
// interpolation reaches across the join, then moved back to a quarter second.
std::vector<int16_t> PlayLooped(const std::function<Ref<TSound>()>& load, int blocks, int hertz) {
    testNow = 0;
    StartOfflineMixer(TestClock);
    auto sound = load();
    EXPECT_TRUE(sound);
    auto channel = AllocChannel();
    SetChannelRate(channel, 1.1f);
    PlaySound(sound, channel);
    std::vector<int16_t> out(static_cast<size_t>(blocks) * mix::BlockValues);
    int half = blocks / 2 * BlockFrames;
    RenderOfflineMixer(out.data(), half);
    SetChannelPosition(channel, 0.25);
    EXPECT_NEAR(ChannelPosition(channel), 0.25, 1.0 / hertz); // a whole frame
    RenderOfflineMixer(out.data() + 2 * half, blocks * BlockFrames - half);
    return out;
}

} // namespace

class StreamedSound : public OfflineMixer {};

TEST_F(StreamedSound, PlaysAsTheWholeSampleDoesLoopedTwiceAndMoved) {
    TempFolder folder;
    struct Case {
        std::string name;
        int channels, hertz, bits, frames;
        std::string encoder;
    };
    for (const auto& c :
         {Case{"stereo16.wav", 2, 48000, 16, 40000, ""}, Case{"mono8.wav", 1, 11025, 8, 9000, ""},
          Case{"stereo.ogg", 2, 44100, 16, 40000, "oggenc -Q -q 2 -o %out %in"},
          Case{"mono.flac", 1, 22050, 16, 30000, "flac -s -f -o %out %in"},
          Case{"mono.mp3", 1, 22050, 16, 30000, "lame --quiet -b 64 %in %out"},
          Case{"stereo.mp3", 2, 44100, 16, 40000, "lame --quiet -V 5 %in %out"}}) {
        std::string path = folder / c.name;
        auto wave = PcmWave(c.channels, c.hertz, c.bits, Noise(c.frames, c.channels, c.bits));
        WriteFileBytes(c.encoder.empty() ? path : path + ".wav", wave);
        if (!c.encoder.empty()) {
            ASSERT_TRUE(Encode(c.encoder, path + ".wav", path)) << c.name;
        }
        // Twice through the sound and past the decoder's ring, then moved.
        int blocks = static_cast<int>(2.2 * c.frames * 44100 / c.hertz / 1.1 / BlockFrames);
        auto whole = PlayLooped([&] { return LoadSound(path, SoundFlags::Loop); }, blocks, c.hertz);
        auto streamed =
            PlayLooped([&] { return StreamSound(path, SoundFlags::Loop); }, blocks, c.hertz);
        EXPECT_EQ(whole, streamed) << c.name;
        EXPECT_GT(std::count(whole.begin(), whole.end(), 0), 0) << "the start delay is silent";
        EXPECT_EQ(StreamUnderruns(), 0) << c.name;
    }
}

namespace {

// Holds the reading thread once, for longer than the decoded sound lasts.
class StallingStream : public TForwardingStream {
public:
    StallingStream(Ref<TStream> inner, int stallAt) : stallAt_(stallAt) {
        SetInner(std::move(inner));
    }
    int Read(void* buf, int count) override {
        if (Pos() >= stallAt_ && !stalled_.exchange(true))
            std::this_thread::sleep_for(std::chrono::milliseconds(800));
        return TForwardingStream::Read(buf, count);
    }

private:
    int stallAt_;
    std::atomic<bool> stalled_{false};
};

} // namespace

// The sound is a rising ramp played at four times its speed: the decoder's
// ring runs dry during the stall, the output is silent there, and the ramp
// goes on from where it stopped, never jumping or going back.
TEST(StreamedSoundOnADevice, AStallingStreamIsHeardAsSilenceAndGoesOn) {
    TempFolder folder;
    std::string output = folder / "out.raw";
    ASSERT_TRUE(OpenDiskMixer(output));

    constexpr int Frames = 120000;
    std::vector<int16_t> ramp;
    for (int i = 0; i < Frames; ++i)
        ramp.push_back(static_cast<int16_t>(i / 4 - 16000));
    WriteFileBytes(folder / "ramp.wav", PcmWave(1, 48000, 16, Pcm16(ramp)));
    auto stream = New<StallingStream>(OpenReadStream(folder / "ramp.wav"), 2 * 80000);
    auto sound = StreamSound(Ref<TStream>(stream));
    ASSERT_TRUE(sound);
    auto channel = AllocChannel();
    SetChannelRate(channel, 4.0f);
    PlaySound(sound, channel);
    int waited = 0;
    for (; ChannelPlaying(channel) && waited < 10000; waited += 20)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_LT(waited, 10000) << "the sound never ended";
    std::this_thread::sleep_for(std::chrono::milliseconds(300)); // the device plays the rest
    int underruns = StreamUnderruns();
    auto out = CloseDiskMixer(output);
    // The ramp, with silence somewhere inside it where the ring ran dry.
    std::vector<int16_t> sounding;
    size_t silentInside = 0, silentRun = 0;
    for (size_t i = 0; i < out.size(); i += 2) {
        if (out[i] == 0 && out[i + 1] == 0) {
            ++silentRun;
            continue;
        }
        if (!sounding.empty()) silentInside = std::max(silentInside, silentRun);
        silentRun = 0;
        sounding.push_back(out[i]);
    }
    ASSERT_FALSE(sounding.empty());
    EXPECT_EQ(sounding.front(), -16000);
    EXPECT_GE(sounding.back(), (Frames - 8) / 4 - 16000);
    for (size_t i = 1; i < sounding.size(); ++i)
        ASSERT_TRUE(sounding[i] - sounding[i - 1] >= 0 && sounding[i] - sounding[i - 1] <= 2)
            << "jump from " << sounding[i - 1] << " to " << sounding[i] << " at " << i;
    // The stall outlasts the decoded sound by about 0.4 s; how much of that
    // is heard as silence depends on how far the loaded machine got.
    EXPECT_GE(underruns, 1);
    EXPECT_GE(silentInside, static_cast<size_t>(BlockFrames));
}
