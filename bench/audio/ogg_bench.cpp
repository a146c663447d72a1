// LoadAudioSample of a 3-minute stereo Ogg Vorbis file against decoding the
// same file with vorbisfile directly into a buffer of the same size; and the
// same file streamed, block by block, against the same tune loaded whole.
#include "audio/mixer.hpp"
#include "ratio_reporter.hpp"

#include <zandrel/zandrel.hpp>

#include <benchmark/benchmark.h>
#include <vorbis/vorbisfile.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

using namespace zandrel;

namespace {

// Made once, beside the benchmark program, from three minutes of tones.
const std::string& ThreeMinuteOgg() {
    static std::string path = [] {
        std::string ogg = "bench_audio_3min.ogg";
        if (FILE* existing = std::fopen(ogg.c_str(), "rb")) {
            std::fclose(existing);
            return ogg;
        }
        std::string wav = "bench_audio_3min.wav";
        auto sample = CreateAudioSample(44100 * 180, 44100, SampleFormat::SampleStereo16LE);
        // Tones under noise, so that the encoder has music-like work to do.
        auto* values = reinterpret_cast<int16_t*>(sample->Samples());
        uint32_t noise = 1;
        for (int i = 0; i < 2 * sample->Length(); ++i) {
            noise = noise * 1664525 + 1013904223;
            double tone = 8000 * std::sin(i * (i % 2 ? 0.047 : 0.031)) * std::sin(i * 1e-5);
            values[i] = static_cast<int16_t>(tone + static_cast<int>(noise >> 20) - 2048);
        }
        auto out = OpenWriteStream(wav);
        int bytes = sample->Capacity();
        out->WriteBytes("RIFF", 4);
        out->WriteInt(bytes + 36);
        out->WriteBytes("WAVEfmt ", 8);
        out->WriteInt(16);
        out->WriteShort(1); // PCM
        out->WriteShort(2);
        out->WriteInt(44100);
        out->WriteInt(44100 * 4);
        out->WriteShort(4);
        out->WriteShort(16);
        out->WriteBytes("data", 4);
        out->WriteInt(bytes);
        out->WriteBytes(sample->Samples(), bytes);
        out->Close();
        std::system(("oggenc -Q -q 4 -o " + ogg + " " + wav).c_str());
        std::remove(wav.c_str());
        return ogg;
    }();
    return path;
}

void BM_LoadAudioSample(benchmark::State& state) {
    const std::string& path = ThreeMinuteOgg();
    for (auto _ : state) {
        auto sample = LoadAudioSample(path);
        if (!sample) state.SkipWithError("the Ogg file did not load");
        benchmark::DoNotOptimize(sample);
    }
}

void BM_VorbisfileDirect(benchmark::State& state) {
    const std::string& path = ThreeMinuteOgg();
    for (auto _ : state) {
        OggVorbis_File file;
        if (ov_fopen(path.c_str(), &file) < 0) state.SkipWithError("the Ogg file did not open");
        long bytes = static_cast<long>(ov_pcm_total(&file, 0)) * 2 * ov_info(&file, -1)->channels;
        char* pcm = static_cast<char*>(std::malloc(static_cast<size_t>(bytes)));
        int bitstream = 0;
        for (long done = 0; done < bytes;) {
            long n =
                ov_read(&file, pcm + done, static_cast<int>(bytes - done), 0, 2, 1, &bitstream);
            if (n <= 0) break;
            done += n;
        }
        ov_clear(&file);
        benchmark::DoNotOptimize(pcm);
        std::free(pcm);
    }
}

int32_t StartedLongAgo() {
    return 1000;
}

// One mixer block of the tune each iteration, decoding ahead included for
// the streamed sound; core_percent is CPU time over the output's duration.
void MixTune(benchmark::State& state, bool streamed) {
    const std::string& path = ThreeMinuteOgg();
    StartOfflineMixer(StartedLongAgo);
    auto sound = streamed ? StreamSound(path, SoundFlags::Loop) : LoadSound(path, SoundFlags::Loop);
    if (!sound) {
        state.SkipWithError("the Ogg file did not load");
        return;
    }
    PlaySound(sound);
    constexpr int frames = mix::BlockValues / 2;
    std::vector<int16_t> out(mix::BlockValues);
    RenderOfflineMixer(out.data(), frames);
    for (auto _ : state) {
        RenderOfflineMixer(out.data(), frames);
        benchmark::DoNotOptimize(out.data());
    }
    double audio = static_cast<double>(frames) / mix::OutputRate;
    state.counters["core_share"] =
        benchmark::Counter(audio * static_cast<double>(state.iterations()),
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    MixerClose();
}

BENCHMARK(BM_VorbisfileDirect)->Unit(benchmark::kMillisecond)->MinTime(3);
BENCHMARK(BM_LoadAudioSample)->Unit(benchmark::kMillisecond)->MinTime(3);
BENCHMARK_CAPTURE(MixTune, whole, false)->MinTime(3);
BENCHMARK_CAPTURE(MixTune, streamed, true)->MinTime(3);

} // namespace

void PrintMixerLeads(const RatioReporter& reporter);

int main(int argc, char** argv) {
    StartZandrel();
    benchmark::Initialize(&argc, argv);
    RunBenchmarksWithRatios([](const RatioReporter& reporter) {
        PrintMixerLeads(reporter);
        reporter.PrintRatio("BM_LoadAudioSample", "BM_VorbisfileDirect", "loading whole");
        reporter.PrintRatio("MixTune/streamed", "MixTune/whole", "streaming against whole");
    });
    return 0;
}
