#include "audio_test_support.hpp"

#include <vorbis/vorbisfile.h>

#include <cstdlib>
#include <cstring>

namespace zandrel::test {

void PutLE16(ByteVector& bytes, int value) {
    bytes.push_back(static_cast<uint8_t>(value));
    bytes.push_back(static_cast<uint8_t>(value >> 8));
}

void PutLE32(ByteVector& bytes, uint32_t value) {
    for (int shift = 0; shift < 32; shift += 8)
        bytes.push_back(static_cast<uint8_t>(value >> shift));
}

RiffChunk FormatChunk(int formatTag, int channels, int hertz, int bits, int extraBytes) {
    ByteVector body;
    int blockAlign = channels * ((bits + 7) / 8);
    PutLE16(body, formatTag);
    PutLE16(body, channels);
    PutLE32(body, static_cast<uint32_t>(hertz));
    PutLE32(body, static_cast<uint32_t>(hertz * blockAlign));
    PutLE16(body, blockAlign);
    PutLE16(body, bits);
    body.insert(body.end(), static_cast<size_t>(extraBytes), 0x5A);
    return {"fmt ", body};
}

ByteVector WaveFile(const std::vector<RiffChunk>& chunks) {
    ByteVector body{'W', 'A', 'V', 'E'};
    for (const auto& chunk : chunks) {
        body.insert(body.end(), chunk.tag.begin(), chunk.tag.end());
        PutLE32(body, static_cast<uint32_t>(chunk.statedSize >= 0 ? chunk.statedSize
                                                                  : chunk.body.size()));
        body.insert(body.end(), chunk.body.begin(), chunk.body.end());
        if (chunk.body.size() % 2 && chunk.pad) body.push_back(0);
    }
    ByteVector file{'R', 'I', 'F', 'F'};
    PutLE32(file, static_cast<uint32_t>(body.size()));
    file.insert(file.end(), body.begin(), body.end());
    return file;
}

ByteVector PcmWave(int channels, int hertz, int bits, const ByteVector& frames) {
    return WaveFile({FormatChunk(1, channels, hertz, bits), {"data", frames}});
}

ByteVector Pcm16(const std::vector<int16_t>& values) {
    ByteVector bytes;
    for (int16_t v : values)
        PutLE16(bytes, v);
    return bytes;
}

bool RunCommand(const std::string& command) {
#ifdef _WIN32
    const char* quiet = " >NUL 2>&1";
#else
    const char* quiet = " >/dev/null 2>&1";
#endif
    return std::system((command + quiet).c_str()) == 0;
}

bool Encode(std::string command, const std::string& in, const std::string& out) {
    command.replace(command.find("%in"), 3, in);
    command.replace(command.find("%out"), 4, out);
    return RunCommand(command);
}

DirectDecode DecodeWithVorbisfile(const std::string& path) {
    DirectDecode result;
    OggVorbis_File file;
    if (ov_fopen(path.c_str(), &file) < 0) return result;
    result.channels = ov_info(&file, -1)->channels;
    result.hertz = static_cast<int>(ov_info(&file, -1)->rate);
    result.total = ov_pcm_total(&file, 0);
    char buffer[4096];
    int bitstream = 0;
    for (;;) {
        long n = ov_read(&file, buffer, sizeof buffer, 0, 2, 1, &bitstream);
        if (n == OV_HOLE) {
            ++result.holes;
            continue;
        }
        if (n <= 0) break;
        result.pcm.insert(result.pcm.end(), buffer, buffer + n);
    }
    ov_clear(&file);
    return result;
}

bool OpenDiskMixer(const std::string& path) {
    MixerClose();
    setenv("SDL_DISKAUDIOFILE", path.c_str(), 1);
    setenv("SDL_AUDIODRIVER", "disk", 1);
    if (MixerInit() != 0) return false;
    SetAudioDriver(New<TMixerAudioDriver>());
    return true;
}

std::vector<int16_t> CloseDiskMixer(const std::string& path) {
    MixerClose();
    SetAudioDriver(New<TAudioDriver>());
    unsetenv("SDL_AUDIODRIVER");
    unsetenv("SDL_DISKAUDIOFILE");
    auto bytes = ReadFileBytes(path);
    std::vector<int16_t> values(bytes.size() / 2);
    std::memcpy(values.data(), bytes.data(), values.size() * 2);
    return values;
}

std::atomic<int32_t> testNow{0};

int32_t TestClock() {
    return testNow.load();
}

void OfflineMixer::SetUp() {
    MixerClose();
    testNow = 0;
    SetMixerClock(TestClock);
    ASSERT_EQ(MixerInitOffline(), 0);
    SetAudioDriver(New<TMixerAudioDriver>());
}

void OfflineMixer::TearDown() {
    for (auto* sample : samples_)
        MixerFreeSound(sample);
    MixerClose();
    SetMixerClock(nullptr);
    SetAudioDriver(New<TAudioDriver>());
}

std::vector<int32_t> OfflineMixer::MixBlock() {
    auto* core = MixerCore();
    core->MixBlock(mix::BlockValues);
    std::vector<int32_t> block(core->Accumulator(), core->Accumulator() + mix::BlockValues);
    std::vector<int16_t> discard(mix::BlockValues);
    core->ConvertBlock(discard.data(), mix::BlockValues);
    return block;
}

std::vector<int16_t> OfflineMixer::Render(int blocks) {
    std::vector<int16_t> out(static_cast<size_t>(blocks) * mix::BlockValues);
    MixerRender(out.data(), blocks * BlockFrames);
    return out;
}

int OfflineMixer::PlayAtOnce(MixerSample* sample, int paused, int channel) {
    int handle = MixerPlaySound(sample, paused, channel);
    testNow += mix::StartDelayMillisecs;
    return handle;
}

MixerSample* OfflineMixer::MonoSample(const std::vector<int16_t>& values, int hertz, bool loop) {
    auto* sample = MixerCreateSound(static_cast<int>(values.size()), 16, 1, hertz, values.data(),
                                    loop ? -1 : 0);
    samples_.push_back(sample);
    return sample;
}

std::vector<int32_t> OfflineMixer::Side(const std::vector<int32_t>& block, int side) {
    std::vector<int32_t> values;
    for (size_t i = static_cast<size_t>(side); i < block.size(); i += 2)
        values.push_back(block[i]);
    return values;
}

} // namespace zandrel::test
