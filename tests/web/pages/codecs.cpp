// Decodes FLAC and MP3 files whole and streamed, and prints what came out:
// the page's program must print what the same program prints natively, where
// the decoders are checked against the reference ones. Streamed, each plays
// on the offline mixer from a quarter of its length, in a group at half
// volume under a master volume of 0.8, to its end.
// FLAC is lossless, so its samples must be the same: a digest of them. MP3
// decoders may round the last bit otherwise (the page's, built without SIMD,
// does on about one sample in 500): the sums of each channel over windows of
// WindowFrames frames, marked "~", which agree within WindowFrames.
#include <zandrel/zandrel.hpp>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

using namespace zandrel;

namespace {

constexpr const char* Files[] = {"stereo24-48k.flac", "mono16-22k.flac", "stereo-vbr-id3.mp3",
                                 "mono-cbr.mp3"};
constexpr int BlockFrames = 512;
constexpr int WindowFrames = 4096;
constexpr int MusicGroup = 3;

uint32_t Digest(const void* data, size_t bytes) {
    uint32_t hash = 2166136261u; // FNV-1a
    for (size_t i = 0; i < bytes; ++i)
        hash = (hash ^ static_cast<const uint8_t*>(data)[i]) * 16777619u;
    return hash;
}

bool Lossless(const char* file) {
    return std::string_view(file).ends_with(".flac");
}

// The samples (16-bit, `channels` interleaved) as the tokens described above.
std::string Samples(const char* file, const int16_t* values, size_t count, int channels) {
    char token[32];
    if (Lossless(file)) {
        std::snprintf(token, sizeof token, "#%08x", Digest(values, count * sizeof(int16_t)));
        return token;
    }
    std::string sums;
    size_t window = static_cast<size_t>(WindowFrames * channels);
    for (size_t start = 0; start < count; start += window) {
        for (int channel = 0; channel < channels; ++channel) {
            long long sum = 0;
            for (size_t i = start + channel; i < std::min(count, start + window); i += channels)
                sum += values[i];
            std::snprintf(token, sizeof token, "%s~%lld", sums.empty() ? "" : " ", sum);
            sums += token;
        }
    }
    return sums;
}

int32_t StoppedClock() {
    return 0;
}

// The length in seconds.
double PrintWhole(const char* file) {
    auto sample = LoadAudioSample(file);
    if (!sample) ExitWithError(LastLoadError());
    int channels = ChannelsPerSample[sample->Format()];
    std::printf("%s whole: %d frames at %d Hz, %s, samples %s\n", file, sample->Length(),
                sample->Hertz(), channels == 2 ? "stereo" : "mono",
                Samples(file, reinterpret_cast<const int16_t*>(sample->Samples()),
                        static_cast<size_t>(sample->Length()) * static_cast<size_t>(channels),
                        channels)
                    .c_str());
    return static_cast<double>(sample->Length()) / sample->Hertz();
}

void PrintStreamed(const char* file, double seconds) {
    auto sound = StreamSound(file);
    if (!sound) ExitWithError(LastLoadError());
    auto channel = CueSound(sound);
    SetChannelGroup(channel, MusicGroup);
    SetChannelPosition(channel, seconds / 4);
    double start = ChannelPosition(channel);
    ResumeChannel(channel);
    std::vector<int16_t> out;
    std::vector<int16_t> block(2 * BlockFrames);
    while (ChannelPlaying(channel)) {
        RenderOfflineMixer(block.data(), BlockFrames);
        out.insert(out.end(), block.begin(), block.end());
    }
    std::printf("%s streamed from %.4f s: %zu frames, samples %s\n", file, start, out.size() / 2,
                Samples(file, out.data(), out.size(), 2).c_str());
}

} // namespace

int main(int argc, char** argv) {
    return RunProgram(argc, argv, [] {
        StartZandrel();
        StartOfflineMixer(StoppedClock);
        SetMasterVolume(0.8f);
        SetGroupVolume(MusicGroup, 0.5f);
        for (const char* file : Files)
            PrintStreamed(file, PrintWhole(file));
        std::printf("underruns: %d\n", StreamUnderruns());
        return 0;
    });
}
