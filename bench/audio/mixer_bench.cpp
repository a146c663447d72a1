// Mixing cost in voices mixed in real time per core: voices x seconds of
// output / CPU seconds, for the mixer's blocks mixed directly, for OpenAL
// Soft rendering the same voices offline through its loopback device, and for
// a loop that only sums samples (the limit). 64 and 256 voices, all in one
// sound group at 0.9 under a master volume of 0.8 (source and listener gains
// for OpenAL Soft), so that both pay for the volumes a program sets.
#include "audio/mixer.hpp"

#define AL_ALEXT_PROTOTYPES
#include <AL/al.h>
#include <AL/alc.h>
#include <AL/alext.h>
#include <benchmark/benchmark.h>

#include "ratio_reporter.hpp"

#include <cmath>
#include <string>
#include <vector>

using namespace zandrel;

namespace {

constexpr int SampleHertz = 22050;
constexpr int BlockFrames = mix::BlockValues / 2;

std::vector<int16_t> Tone(int frames, int channels) {
    std::vector<int16_t> values;
    for (int i = 0; i < frames * channels; ++i)
        values.push_back(static_cast<int16_t>(8000 * std::sin(i * 0.05)));
    return values;
}

constexpr float GroupVolume = 0.9f, MasterVolume = 0.8f;

void CountVoices(benchmark::State& state, int voices) {
    double seconds = static_cast<double>(BlockFrames) / mix::OutputRate;
    state.counters["voices_per_core"] = benchmark::Counter(
        voices * seconds * static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

int32_t StartedLongAgo() {
    return 1000;
}

void BM_Mixer(benchmark::State& state, int channels, float rate, int voices) {
    MixerClose();
    SetMixerClock(StartedLongAgo);
    MixerInitOffline();
    MixerSetMasterVolume(MasterVolume);
    MixerSetGroupVolume(1, GroupVolume);
    auto tone = Tone(SampleHertz, channels);
    MixerSample* sample = MixerCreateSound(SampleHertz, 16, channels, SampleHertz, tone.data(), -1);
    for (int v = 0; v < voices; ++v) {
        int channel = MixerAllocChannel();
        MixerSetChannelRate(channel, rate);
        MixerSetChannelGroup(channel, 1);
        MixerPlaySound(sample, 0, channel);
    }
    std::vector<int16_t> out(mix::BlockValues);
    mix::mixer& core = *MixerCore();
    core.MixBlock(mix::BlockValues); // voices picked up, ramps done
    core.ConvertBlock(out.data(), mix::BlockValues);
    for (auto _ : state) {
        core.MixBlock(mix::BlockValues);
        core.ConvertBlock(out.data(), mix::BlockValues);
        benchmark::DoNotOptimize(out.data());
    }
    CountVoices(state, voices);
    MixerClose();
    MixerFreeSound(sample);
    SetMixerClock(nullptr);
}

void BM_OpenALSoft(benchmark::State& state, int channels, float rate, int voices) {
    ALCdevice* device = alcLoopbackOpenDeviceSOFT(nullptr);
    if (!device) {
        state.SkipWithError("no OpenAL Soft loopback device");
        return;
    }
    const ALCint attributes[] = {ALC_FORMAT_CHANNELS_SOFT,
                                 ALC_STEREO_SOFT,
                                 ALC_FORMAT_TYPE_SOFT,
                                 ALC_SHORT_SOFT,
                                 ALC_FREQUENCY,
                                 mix::OutputRate,
                                 ALC_MONO_SOURCES,
                                 channels == 1 ? voices : 0,
                                 ALC_STEREO_SOURCES,
                                 channels == 2 ? voices : 0,
                                 0};
    ALCcontext* context = alcCreateContext(device, attributes);
    alcMakeContextCurrent(context);
    auto tone = Tone(SampleHertz, channels);
    ALuint buffer = 0;
    alGenBuffers(1, &buffer);
    alBufferData(buffer, channels == 1 ? AL_FORMAT_MONO16 : AL_FORMAT_STEREO16, tone.data(),
                 static_cast<ALsizei>(tone.size() * 2), SampleHertz);
    std::vector<ALuint> sources(static_cast<size_t>(voices));
    alGenSources(voices, sources.data());
    if (alGetError() != AL_NO_ERROR) {
        state.SkipWithError("OpenAL Soft gave fewer sources than asked for");
        return;
    }
    alListenerf(AL_GAIN, MasterVolume);
    for (ALuint source : sources) {
        alSourcei(source, AL_BUFFER, static_cast<ALint>(buffer));
        alSourcei(source, AL_LOOPING, AL_TRUE);
        alSourcef(source, AL_PITCH, rate);
        alSourcef(source, AL_GAIN, GroupVolume);
    }
    alSourcePlayv(voices, sources.data());
    std::vector<int16_t> out(mix::BlockValues);
    alcRenderSamplesSOFT(device, out.data(), BlockFrames);
    for (auto _ : state) {
        alcRenderSamplesSOFT(device, out.data(), BlockFrames);
        benchmark::DoNotOptimize(out.data());
    }
    CountVoices(state, voices);
    alDeleteSources(voices, sources.data());
    alDeleteBuffers(1, &buffer);
    alcMakeContextCurrent(nullptr);
    alcDestroyContext(context);
    alcCloseDevice(device);
}

// Only adds each voice's samples into a 32-bit accumulator: no rate, no
// interpolation, no gains.
void BM_SumOnly(benchmark::State& state, int channels) {
    constexpr int voices = 64;
    auto tone = Tone(SampleHertz, channels);
    std::vector<int32_t> accumulator(mix::BlockValues);
    std::vector<int> positions(voices, 0);
    for (auto _ : state) {
        for (int& position : positions) {
            const int16_t* source = tone.data() + position * channels;
            for (int i = 0; i < BlockFrames; ++i) {
                accumulator[2 * i] += source[i * channels];
                accumulator[2 * i + 1] += source[i * channels + channels - 1];
            }
            position = (position + BlockFrames) % (SampleHertz - BlockFrames);
        }
        benchmark::DoNotOptimize(accumulator.data());
    }
    CountVoices(state, voices);
}

BENCHMARK_CAPTURE(BM_Mixer, mono_rate_1_0, 1, 1.0f, 64);
BENCHMARK_CAPTURE(BM_OpenALSoft, mono_rate_1_0, 1, 1.0f, 64);
BENCHMARK_CAPTURE(BM_Mixer, mono_rate_1_1, 1, 1.1f, 64);
BENCHMARK_CAPTURE(BM_OpenALSoft, mono_rate_1_1, 1, 1.1f, 64);
BENCHMARK_CAPTURE(BM_Mixer, stereo_rate_1_0, 2, 1.0f, 64);
BENCHMARK_CAPTURE(BM_OpenALSoft, stereo_rate_1_0, 2, 1.0f, 64);
BENCHMARK_CAPTURE(BM_Mixer, mono_256_voices, 1, 1.0f, 256);
BENCHMARK_CAPTURE(BM_OpenALSoft, mono_256_voices, 1, 1.0f, 256);
BENCHMARK_CAPTURE(BM_Mixer, stereo_256_voices, 2, 1.0f, 256);
BENCHMARK_CAPTURE(BM_OpenALSoft, stereo_256_voices, 2, 1.0f, 256);
BENCHMARK_CAPTURE(BM_SumOnly, mono, 1);
BENCHMARK_CAPTURE(BM_SumOnly, stereo, 2);

} // namespace

// OpenAL Soft's time over the mixer's for the same work: the mixer's lead.
void PrintMixerLeads(const RatioReporter& reporter) {
    for (const char* which : {"mono_rate_1_0", "mono_rate_1_1", "stereo_rate_1_0",
                              "mono_256_voices", "stereo_256_voices"})
        reporter.PrintRatio(std::string("BM_OpenALSoft/") + which, std::string("BM_Mixer/") + which,
                            "the mixer's lead (at least 2)");
}
