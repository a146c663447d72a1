#include "audio/wave_out_device.hpp"
#include "audio_test_support.hpp"

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <thread>
#include <unistd.h>

using namespace zandrel;
using namespace zandrel::test;

namespace {

void SleepMs(int ms) {
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

// Noise that no stretch of silence or other sound matches by chance.
std::vector<int16_t> Pattern(int frames) {
    std::vector<int16_t> values;
    uint32_t seed = 12345;
    for (int i = 0; i < frames; ++i) {
        seed = seed * 1103515245 + 12345;
        values.push_back(static_cast<int16_t>(static_cast<int>(seed >> 16) % 40000 - 20000));
    }
    return values;
}

// The first frame where both sides of the stereo output hold the pattern, or -1.
int64_t FindPattern(const std::vector<int16_t>& out, const std::vector<int16_t>& pattern) {
    size_t frames = out.size() / 2;
    for (size_t start = 0; start + pattern.size() <= frames; ++start) {
        size_t i = 0;
        while (i < pattern.size() && out[2 * (start + i)] == pattern[i] &&
               out[2 * (start + i) + 1] == pattern[i])
            ++i;
        if (i == pattern.size()) return static_cast<int64_t>(start);
    }
    return -1;
}

std::atomic<bool> stallArmed{false};
std::thread::id mainThread;

// Holds the mixer thread once, long enough for the device to run dry.
int32_t StallingClock() {
    if (std::this_thread::get_id() != mainThread && stallArmed.exchange(false)) SleepMs(300);
    return mix::MonotonicMillisecs();
}

class DeviceMixer : public ::testing::Test {
protected:
    void Open(const char* driver) {
        MixerClose();
        setenv("SDL_AUDIODRIVER", driver, 1);
        ASSERT_EQ(MixerInit(), 0) << "no " << driver << " audio device";
        SetAudioDriver(New<TMixerAudioDriver>());
    }
    void TearDown() override {
        MixerClose();
        SetMixerClock(nullptr);
        SetAudioDriver(New<TAudioDriver>());
        unsetenv("SDL_AUDIODRIVER");
        unsetenv("SDL_DISKAUDIOFILE");
    }
};

} // namespace

// Where the sound starts in what the device played, and what the channel
// said it was playing at one moment: the position as heard is the device's
// position less the frame where the sound started there.
TEST_F(DeviceMixer, PlaysASoundIntoTheDiskDriverAtItsLevelTimeAndPosition) {
    TempFolder folder;
    std::string output = folder / "out.raw";
    setenv("SDL_DISKAUDIOFILE", output.c_str(), 1);
    Open("disk");
    auto pattern = Pattern(22050);
    WriteFileBytes(folder / "noise.wav", PcmWave(1, 44100, 16, Pcm16(pattern)));
    auto sound = LoadSound(folder / "noise.wav");
    ASSERT_TRUE(As<TMixerSound>(sound));
    SleepMs(150);
    int64_t playedBefore = MixerDevicePosition();
    auto channel = PlaySound(sound);
    ASSERT_TRUE(channel);
    SleepMs(250);
    // The device's position moves a block at a time: read the channel's
    // between two equal readings of it.
    int64_t playedThen = -1;
    double reported = -1;
    for (int64_t before = 0; playedThen != before;) {
        before = MixerDevicePosition();
        reported = ChannelPosition(channel);
        playedThen = MixerDevicePosition();
    }
    // On a busy machine the device may run dry and pause for a while.
    for (int waited = 0; ChannelPlaying(channel) && waited < 5000; waited += 50)
        SleepMs(50);
    EXPECT_FALSE(ChannelPlaying(channel));
    SleepMs(200);
    int underruns = AudioUnderruns();
    MixerClose();

    auto bytes = ReadFileBytes(output);
    std::vector<int16_t> out(bytes.size() / 2);
    std::memcpy(out.data(), bytes.data(), out.size() * 2);
    int64_t start = FindPattern(out, pattern);
    ASSERT_GE(start, 0) << "the sound is not in the output at full level";
    // The block that takes the voice up is mixed 5.5 blocks (on average)
    // past the play position, and the voice starts 20 ms after the call; the
    // device position moves a block at a time and the timer tick wanders.
    int64_t expected = playedBefore + 11 * BlockFrames / 2 + StartDelayFrames;
    EXPECT_GE(start, expected - 3 * BlockFrames);
    // A device that ran dry put silence into the output that its position
    // does not count: then, and only then, the sound may come later and its
    // position as heard be off.
    if (underruns == 0) {
        EXPECT_LE(start, expected + 3 * BlockFrames);
        double heard = static_cast<double>(playedThen - start) / 44100;
        EXPECT_GT(heard, 0.05) << "the moment fell outside the sound";
        EXPECT_NEAR(reported, heard, (BlockFrames + 2) / 44100.0) << "more than a block off";
    }
}

TEST_F(DeviceMixer, RecoversFromAnUnderrunWithMoreLatency) {
    mainThread = std::this_thread::get_id();
    SetMixerClock(StallingClock);
    Open("dummy");
    EXPECT_EQ(MixerDeviceLatency(), 6);
    auto sound =
        LoadSound(CreateAudioSample(44100, 44100, SampleFormat::SampleMono16LE), SoundFlags::Loop);
    auto channel = PlaySound(sound);
    SleepMs(100);
    stallArmed = true;
    SleepMs(500);
    EXPECT_GE(MixerDeviceLatency(), 8); // more if the busy machine also made it run dry
    EXPECT_GE(AudioUnderruns(), 1);
    // Playback starts over at once, not after a fixed silence.
    EXPECT_GT(MixerDevicePosition(), 0);
    EXPECT_TRUE(ChannelPlaying(channel));
}

TEST_F(DeviceMixer, NoDeviceLeavesTheMixerClosed) {
    MixerClose();
    setenv("SDL_AUDIODRIVER", "no-such-driver", 1);
    EXPECT_EQ(MixerInit(), -1);
    EXPECT_FALSE(MixerCore());
    EXPECT_EQ(MixerDeviceLatency(), -1);
}

// Start-up makes the mixer driver current when a device opens, and the exit
// handler closes it: checked in a process of its own started with the dummy
// driver, which must end cleanly.
TEST(AudioStartup, UsesTheMixerWhenADeviceOpens) {
    const char* driver = std::getenv("SDL_AUDIODRIVER");
    if (driver && std::string(driver) == "dummy") {
        EXPECT_TRUE(As<TMixerAudioDriver>(CurrentAudioDriver()));
        EXPECT_TRUE(MixerCore());
        PlaySound(LoadSound(CreateAudioSample(44100, 44100, SampleFormat::SampleMono16LE),
                            SoundFlags::Loop));
        SleepMs(50);
        return;
    }
    // The child inherits the variable; this process's own driver has started already.
    std::string previous = driver ? driver : "";
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    std::string command =
        ThisProgram() + " --gtest_filter=AudioStartup.UsesTheMixerWhenADeviceOpens";
    EXPECT_TRUE(RunCommand(command));
    if (driver)
        setenv("SDL_AUDIODRIVER", previous.c_str(), 1);
    else
        unsetenv("SDL_AUDIODRIVER");
}
