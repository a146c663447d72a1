#include "audio/mix_kernels_avx2.hpp"
#include "audio_test_support.hpp"

#include <random>

using namespace zandrel;
using namespace zandrel::mix;

namespace {

// The mixing formula frame by frame, written out plainly.
void Reference(const std::vector<int16_t>& frames, int channels, uint64_t position, uint64_t step,
               Gains gains, int32_t* accumulator, int count) {
    for (int n = 0; n < count; ++n, position += step) {
        size_t i = static_cast<size_t>(position >> 32) * static_cast<size_t>(channels);
        int64_t f = static_cast<int64_t>((position >> 16) & 0xFFFF);
        for (int side = 0; side < 2; ++side) {
            size_t c = channels == 2 ? static_cast<size_t>(side) : 0;
            int a = frames[i + c], b = frames[i + c + static_cast<size_t>(channels)];
            int value = a + static_cast<int>((b - a) * f / 65536);
            accumulator[2 * n + side] += (side ? gains.right : gains.left) * value / 256;
        }
    }
}

} // namespace

TEST(MixKernels, VectorLoopsGiveExactlyTheFixedPointFormula) {
    if (!CpuHasAvx2()) GTEST_SKIP() << "no AVX2 on this processor";
    std::mt19937 random(7);
    std::uniform_int_distribution<int> sample(-32768, 32767);
    std::uniform_int_distribution<uint64_t> steps(0, uint64_t{3} << 32);
    for (int channels : {1, 2}) {
        std::vector<int16_t> frames(1001 * static_cast<size_t>(channels));
        for (auto& value : frames)
            value = static_cast<int16_t>(sample(random));
        frames[0] = -32768;
        frames[static_cast<size_t>(channels)] = 32767;
        for (int trial = 0; trial < 200; ++trial) {
            uint64_t step = trial == 0 ? uint64_t{1} << 31 : steps(random);
            uint64_t position = steps(random) / 3;
            Gains gains{sample(random), trial % 2 ? -32768 : sample(random)};
            std::vector<int32_t> expected(2 * 203, 5), actual(2 * 203, 5);
            Reference(frames, channels, position, step, gains, expected.data(), 200);
            uint64_t moved = position;
            auto* bytes = reinterpret_cast<const uint8_t*>(frames.data());
            int mixed = channels == 1
                            ? MixMono16Avx2(bytes, moved, step, gains, actual.data(), 203)
                            : MixStereo16Avx2(bytes, moved, step, gains, actual.data(), 203);
            ASSERT_EQ(mixed, 200);
            EXPECT_EQ(moved, position + 200 * step);
            ASSERT_EQ(actual, expected) << channels << " channels, trial " << trial;
        }
    }
}

namespace {

// The formula for every width and channel count: 8-bit values are unsigned
// and count 256 times; gains follow volume, pan and depth frame by frame.
struct PlainVoice {
    int bits, channels;
    std::vector<uint8_t> bytes;

    int Value(size_t index) const {
        if (bits == 8) return bytes[index] * 256 - 32768;
        return static_cast<int16_t>(bytes[2 * index] | bytes[2 * index + 1] << 8);
    }
    static Gains GainsOf(int volume, int pan, int depth) {
        Gains g{pan > 0 ? volume * (4096 - pan) / 4096 : volume,
                pan < 0 ? volume * (4096 + pan) / 4096 : volume};
        if (depth < 0) g.right = -g.right;
        return g;
    }
    void Mix(uint64_t position, Ramp ramp, int32_t* accumulator, int count) const {
        for (int n = 0; n < count; ++n) {
            size_t i = static_cast<size_t>(position >> 32) * static_cast<size_t>(channels);
            int64_t f = static_cast<int64_t>((position >> 16) & 0xFFFF);
            Gains gains = GainsOf(ramp.volume / 256, ramp.pan, ramp.depth);
            for (int side = 0; side < 2; ++side) {
                size_t c = channels == 2 ? static_cast<size_t>(side) : 0;
                int a = Value(i + c), b = Value(i + c + static_cast<size_t>(channels));
                int value = a + static_cast<int>((b - a) * f / 65536);
                accumulator[2 * n + side] += (side ? gains.right : gains.left) * value / 256;
            }
            position += static_cast<uint64_t>(ramp.step);
            ramp.volume += ramp.volumeDelta;
            ramp.step += ramp.stepDelta;
        }
    }
};

} // namespace

TEST(MixKernels, EveryPathGivesTheFormulaAtFractionalPositions) {
    std::mt19937 random(11);
    std::uniform_int_distribution<int> byte(0, 255), pan(-4096, 4096);
    for (bool vector : {false, true}) {
        if (vector && !CpuHasAvx2()) continue;
        AllowVectorLoops(vector);
        for (int bits : {8, 16})
            for (int channels : {1, 2})
                for (bool ramped : {false, true}) {
                    SCOPED_TRACE(std::to_string(bits) + " bits, " + std::to_string(channels) +
                                 " channels" + (ramped ? ", ramped" : "") +
                                 (vector ? ", vector" : ""));
                    PlainVoice voice{bits, channels, {}};
                    voice.bytes.resize(static_cast<size_t>(2000 * channels * bits / 8));
                    for (auto& b : voice.bytes)
                        b = static_cast<uint8_t>(byte(random));
                    Ramp ramp{4096 * 256,  ramped ? -3000 : 0, 0x1'6A09'E667, ramped ? 0x3'0000 : 0,
                              pan(random), ramped ? -1 : 1};
                    Cursor cursor{voice.bytes.data(), 0x2'C000'8001, uint64_t{1900} << 32, false};
                    std::vector<int32_t> expected(2 * 300, 7), actual(2 * 300, 7);
                    voice.Mix(cursor.position, ramp, expected.data(), 300);
                    bool ended =
                        ramped ? RampMixerFor(bits, channels)(cursor, ramp, actual.data(), 300)
                               : SteadyMixerFor(bits, channels)(
                                     cursor, static_cast<uint64_t>(ramp.step),
                                     PlainVoice::GainsOf(ramp.volume / 256, ramp.pan, ramp.depth),
                                     actual.data(), 300);
                    EXPECT_FALSE(ended);
                    EXPECT_EQ(actual, expected);
                }
    }
    AllowVectorLoops(true);
}
