// WAV files made byte by byte, tools run from the tests, and the mixer run
// without a device on a clock the test moves.
#pragma once

#include "audio/mixer.hpp"
#include "audio/mixer_driver.hpp"
#include "test_support.hpp"

#include <gtest/gtest.h>
#include <zandrel/audio.hpp>

#include <string>
#include <vector>

namespace zandrel::test {

using ByteVector = std::vector<uint8_t>;

void PutLE16(ByteVector& bytes, int value);
void PutLE32(ByteVector& bytes, uint32_t value);

// One RIFF chunk: its tag, its body and, for odd sizes, whether a pad byte follows.
struct RiffChunk {
    std::string tag;
    ByteVector body;
    bool pad = true;
    int64_t statedSize = -1; // the size written when not the body's own
};

RiffChunk FormatChunk(int formatTag, int channels, int hertz, int bits, int extraBytes = 0);
ByteVector WaveFile(const std::vector<RiffChunk>& chunks);
// A plain PCM WAV of the given frames.
ByteVector PcmWave(int channels, int hertz, int bits, const ByteVector& frames);
ByteVector Pcm16(const std::vector<int16_t>& values);

// Runs a shell command; true when it exits with 0.
bool RunCommand(const std::string& command);
// Runs an encoder's command line with %in and %out replaced by the files.
bool Encode(std::string command, const std::string& in, const std::string& out);

// The frames vorbisfile decodes from the file when called directly, as 16-bit
// little-endian PCM, going on past holes (damaged pages), and the total it
// reports.
struct DirectDecode {
    ByteVector pcm;
    int channels = 0;
    int hertz = 0;
    int64_t total = 0;
    int holes = 0;
};
DirectDecode DecodeWithVorbisfile(const std::string& path);

// The mixer on SDL's disk driver, which writes what it plays into the file
// `path`; false when it does not open.
bool OpenDiskMixer(const std::string& path);
// Closes it, makes the silent driver current again and gives the stereo
// values it wrote.
std::vector<int16_t> CloseDiskMixer(const std::string& path);

// The clock the mixer reads in these tests.
extern std::atomic<int32_t> testNow;
int32_t TestClock();

// The mixer without a device, the mixer driver current and the clock at 0.
class OfflineMixer : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // One block mixed; the accumulator as it stands before conversion.
    std::vector<int32_t> MixBlock();
    // `blocks` blocks mixed and converted.
    std::vector<int16_t> Render(int blocks);
    // Plays with the clock moved on past the start delay.
    int PlayAtOnce(MixerSample* sample, int paused, int channel);
    MixerSample* MonoSample(const std::vector<int16_t>& values, int hertz, bool loop);
    // Frames of one side of an interleaved block.
    static std::vector<int32_t> Side(const std::vector<int32_t>& block, int side);

    std::vector<MixerSample*> samples_;
};

constexpr int BlockFrames = mix::BlockValues / 2;
// A voice queued at clock 0 starts this many frames into the output.
constexpr int StartDelayFrames = 882;

} // namespace zandrel::test
