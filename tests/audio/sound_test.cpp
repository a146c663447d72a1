#include "audio_test_support.hpp"

using namespace zandrel;
using namespace zandrel::test;

namespace {

// 16-bit mono at 44100 Hz: played at full volume it comes out value for value.
Ref<TAudioSample> MonoRamp(int frames, int first) {
    auto sample = CreateAudioSample(frames, 44100, SampleFormat::SampleMono16LE);
    auto* values = reinterpret_cast<int16_t*>(sample->Samples());
    for (int i = 0; i < frames; ++i)
        values[i] = static_cast<int16_t>(first + i);
    return sample;
}

int LeftAt(const std::vector<int16_t>& out, int frame) {
    return out[static_cast<size_t>(frame) * 2];
}

} // namespace

TEST(SilentDriver, AcceptsEverythingAndPlaysNothing) {
    auto previous = CurrentAudioDriver();
    SetAudioDriver(New<TAudioDriver>());
    TempFolder folder;
    WriteFileBytes(folder / "a.wav", PcmWave(1, 8000, 8, Bytes({1, 2, 3})));
    auto sound = LoadSound(folder / "a.wav");
    ASSERT_TRUE(sound);
    EXPECT_FALSE(As<TMixerSound>(sound));
    auto channel = PlaySound(sound);
    ASSERT_TRUE(channel);
    EXPECT_FALSE(ChannelPlaying(channel));
    SetChannelVolume(channel, 0.5f);
    PauseChannel(channel);
    StopChannel(channel);
    EXPECT_TRUE(CueSound(sound, channel));
    EXPECT_TRUE(AllocChannel());
    WriteFileText(folder / "b.wav", "not a sound");
    EXPECT_FALSE(LoadSound(folder / "b.wav"));
    EXPECT_FALSE(PlaySound(nullptr));
    EXPECT_FALSE(ChannelPlaying(nullptr));
    SetAudioDriver(previous);
}

using MixerDriver = OfflineMixer;

TEST_F(MixerDriver, TheLoopFlagMakesTheSoundLoop) {
    TempFolder folder;
    WriteFileBytes(folder / "blip.wav", PcmWave(1, 44100, 16, Pcm16({100, 200, 300})));
    for (SoundFlags flags : {SoundFlags::NoFlags, SoundFlags::Loop}) {
        auto sound = LoadSound(folder / "blip.wav", flags);
        ASSERT_TRUE(As<TMixerSound>(sound));
        auto channel = PlaySound(sound);
        testNow += mix::StartDelayMillisecs;
        Render(3);
        EXPECT_EQ(ChannelPlaying(channel), flags == SoundFlags::Loop);
        StopChannel(channel);
    }
}

TEST_F(MixerDriver, BigEndianSamplesSoundLikeLittleEndianOnes) {
    auto little = CreateAudioSample(600, 22050, SampleFormat::SampleStereo16LE);
    for (int i = 0; i < 1200; ++i)
        reinterpret_cast<int16_t*>(little->Samples())[i] = static_cast<int16_t>(i * 37 - 20000);
    auto big = little->Convert(SampleFormat::SampleStereo16BE);
    std::vector<std::vector<int16_t>> outputs;
    for (const auto& sample : {little, big}) {
        SetUp();
        auto sound = LoadSound(sample);
        ASSERT_TRUE(sound);
        PlaySound(sound);
        testNow += mix::StartDelayMillisecs;
        outputs.push_back(Render(4));
    }
    EXPECT_EQ(outputs[0], outputs[1]);
    EXPECT_EQ(outputs[0][0], -20000);
    EXPECT_EQ(outputs[0][1], -20000 + 37);
    EXPECT_EQ(outputs[0][2], -20000 + 74 / 2); // halfway to the next frame
}

TEST_F(MixerDriver, AnAllocatedChannelKeepsItsObjectAndSettings) {
    auto sound = LoadSound(MonoRamp(2000, 1000));
    auto channel = AllocChannel();
    ASSERT_TRUE(As<TMixerChannel>(channel));
    SetChannelVolume(channel, 0.5f);
    EXPECT_EQ(PlaySound(sound, channel), channel);
    testNow += mix::StartDelayMillisecs;
    auto out = Render(1);
    EXPECT_EQ(LeftAt(out, 0), 500);
    EXPECT_EQ(LeftAt(out, 10), 505);

    // Played again on the channel, the sound starts over at the same level.
    EXPECT_EQ(PlaySound(sound, channel), channel);
    testNow += mix::StartDelayMillisecs;
    EXPECT_EQ(LeftAt(Render(1), 0), 500);
}

TEST_F(MixerDriver, ACuedSoundStartsFromItsFirstFrameWhenResumed) {
    auto sound = LoadSound(MonoRamp(3000, 1000));
    auto channel = CueSound(sound);
    ASSERT_TRUE(channel);
    EXPECT_TRUE(ChannelPlaying(channel));
    testNow += 500;
    auto quiet = Render(4);
    EXPECT_EQ(std::count(quiet.begin(), quiet.end(), 0), static_cast<long>(quiet.size()));
    // Picked up long after it was queued, it has no start delay left.
    ResumeChannel(channel);
    auto out = Render(2);
    EXPECT_EQ(LeftAt(out, 0), 1000);
    EXPECT_EQ(LeftAt(out, 1), 1001);
}

TEST_F(MixerDriver, AFinishedSoundLeavesItsAllocatedChannelValid) {
    auto sound = LoadSound(MonoRamp(100, 1));
    auto channel = As<TMixerChannel>(AllocChannel());
    PlaySound(sound, channel);
    testNow += mix::StartDelayMillisecs;
    EXPECT_TRUE(ChannelPlaying(channel));
    Render(2);
    EXPECT_FALSE(ChannelPlaying(channel));
    EXPECT_EQ(MixerChannelStatus(channel->Handle()), mix::VoiceStopped);
    EXPECT_EQ(PlaySound(sound, channel), channel);
}

TEST_F(MixerDriver, ASoundOutlivesItsObjectWhilePlaying) {
    auto sound = LoadSound(MonoRamp(5000, 1000));
    auto channel = PlaySound(sound);
    testNow += mix::StartDelayMillisecs;
    sound.reset();
    auto out = Render(4);
    EXPECT_EQ(LeftAt(out, 2000), 3000);
    EXPECT_TRUE(ChannelPlaying(channel));
}

TEST_F(MixerDriver, RefusesChannelsOfOtherDriversAndSamplesItCannotPlay) {
    auto sound = LoadSound(MonoRamp(100, 1));
    EXPECT_FALSE(PlaySound(sound, New<TChannel>()));
    EXPECT_FALSE(CueSound(sound, New<TChannel>()));
    testNow += mix::StartDelayMillisecs;
    auto out = Render(1);
    EXPECT_EQ(std::count(out.begin(), out.end(), 0), static_cast<long>(out.size()));
    EXPECT_FALSE(LoadSound(CreateAudioSample(10, 44100, SampleFormat{})));
}
