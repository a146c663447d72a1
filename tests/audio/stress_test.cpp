#include "audio_test_support.hpp"

#include <chrono>
#include <thread>

using namespace zandrel;
using namespace zandrel::test;

namespace {

Ref<TAudioSample> Tone(int frames, int hertz, SampleFormat format) {
    auto sample = CreateAudioSample(frames, hertz, format);
    for (int i = 0; i < sample->Capacity(); ++i)
        sample->Samples()[i] = static_cast<uint8_t>(i * 13);
    return sample;
}

// A fixed sequence of choices, so that a failure can be replayed.
struct Choices {
    uint32_t seed = 2024;
    int Next(int range) {
        seed = seed * 1664525 + 1013904223;
        return static_cast<int>((seed >> 8) % static_cast<uint32_t>(range));
    }
};

} // namespace

// Plays, steers, moves and stops sounds, whole and streamed, and sets group
// volumes and pauses from the main thread as fast as it can while the
// device's mixer thread and the decoding thread run; run under
// ThreadSanitizer it must stay silent, and every voice must give its sample
// back by the close.
TEST(MixerStress, PlaysSteersAndStopsThousandsOfSoundsWhileTheMixerRuns) {
    MixerClose();
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    ASSERT_EQ(MixerInit(), 0);
    SetAudioDriver(New<TMixerAudioDriver>());

    TempFolder folder;
    WriteFileBytes(folder / "long.wav", PcmWave(2, 44100, 16, ByteVector(4 * 200000, 7)));
    std::vector<Ref<TSound>> sounds = {
        LoadSound(Tone(300, 44100, SampleFormat::SampleMono16LE)),
        LoadSound(Tone(2000, 22050, SampleFormat::SampleStereo16LE)),
        LoadSound(Tone(500, 11025, SampleFormat::SampleMono8), SoundFlags::Loop),
        StreamSound(folder / "long.wav", SoundFlags::Loop),
    };
    std::vector<Ref<TChannel>> channels;
    for (int i = 0; i < 32; ++i)
        channels.push_back(AllocChannel());

    Choices choose;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(3);
    int played = 0;
    for (int step = 0; step < 40000 && std::chrono::steady_clock::now() < deadline; ++step) {
        auto& sound = sounds[static_cast<size_t>(choose.Next(4))];
        Ref<TChannel>& channel = channels[static_cast<size_t>(choose.Next(32))];
        switch (choose.Next(12)) {
        case 0:
            if (auto started = PlaySound(sound, channel)) channel = started;
            break;
        case 1:
            PlaySound(sound);
            break;
        case 2:
            CueSound(sound, channel);
            break;
        case 3:
            SetChannelVolume(channel, choose.Next(300) / 100.0f - 1.0f);
            break;
        case 4:
            SetChannelPan(channel, choose.Next(200) / 100.0f - 1.0f);
            break;
        case 5:
            SetChannelRate(channel, choose.Next(400) / 100.0f);
            break;
        case 6:
            SetChannelDepth(channel, choose.Next(200) / 100.0f - 1.0f);
            break;
        case 7:
            choose.Next(2) ? PauseChannel(channel) : ResumeChannel(channel);
            break;
        case 8:
            StopChannel(channel);
            break;
        case 9:
            sound = LoadSound(Tone(400 + choose.Next(400), 22050, SampleFormat::SampleMono16LE));
            break;
        case 10:
            SetChannelPosition(channel, choose.Next(500) / 100.0);
            ChannelPosition(channel);
            break;
        case 11:
            SetChannelGroup(channel, choose.Next(3));
            SetGroupVolume(choose.Next(3), choose.Next(200) / 100.0f);
            choose.Next(2) ? PauseGroup(choose.Next(3)) : ResumeGroup(choose.Next(3));
            break;
        }
        played += ChannelPlaying(channel);
        if (step % 64 == 0) std::this_thread::sleep_for(std::chrono::microseconds(300));
    }
    EXPECT_GT(played, 0);

    std::vector<Ref<TMixerSound>> kept;
    for (auto& sound : sounds)
        kept.push_back(As<TMixerSound>(sound));
    MixerClose();
    for (auto& sound : kept)
        EXPECT_EQ(sound->Sample()->references.load(), 1);
    SetAudioDriver(New<TAudioDriver>());
    unsetenv("SDL_AUDIODRIVER");
}
