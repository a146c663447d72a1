#include "mix_kernels_avx2.hpp"

#include <atomic>

#include <immintrin.h>

namespace zandrel::mix {

namespace {

#define ZANDREL_AVX2 __attribute__((target("avx2")))

// Positions of eight frames in a row, as integer frames and fractions.
struct Lanes {
    __m256i index;
    __m256i fraction;
};

ZANDREL_AVX2 Lanes FirstLanes(uint64_t position, uint64_t step) {
    alignas(32) int32_t index[8];
    alignas(32) uint32_t fraction[8];
    for (int k = 0; k < 8; ++k) {
        uint64_t p = position + static_cast<uint64_t>(k) * step;
        index[k] = static_cast<int32_t>(p >> 32);
        fraction[k] = static_cast<uint32_t>(p);
    }
    return {_mm256_load_si256(reinterpret_cast<const __m256i*>(index)),
            _mm256_load_si256(reinterpret_cast<const __m256i*>(fraction))};
}

// Adds eight steps: the fraction words wrap and carry into the frames.
ZANDREL_AVX2 void Advance(Lanes& lanes, __m256i stepIndex, __m256i stepFraction) {
    const __m256i sign = _mm256_set1_epi32(static_cast<int>(0x80000000u));
    __m256i next = _mm256_add_epi32(lanes.fraction, stepFraction);
    __m256i carry =
        _mm256_cmpgt_epi32(_mm256_xor_si256(lanes.fraction, sign), _mm256_xor_si256(next, sign));
    lanes.index = _mm256_sub_epi32(_mm256_add_epi32(lanes.index, stepIndex), carry);
    lanes.fraction = next;
}

ZANDREL_AVX2 __m256i LowHalf(__m256i pair) {
    return _mm256_srai_epi32(_mm256_slli_epi32(pair, 16), 16);
}

ZANDREL_AVX2 __m256i HighHalf(__m256i pair) {
    return _mm256_srai_epi32(pair, 16);
}

// a + (b - a) * f / 65536, truncated toward zero: |b - a| * f fits 32
// unsigned bits, and the sign goes back on after the shift.
ZANDREL_AVX2 __m256i Lerp(__m256i a, __m256i b, __m256i fraction) {
    __m256i difference = _mm256_sub_epi32(b, a);
    __m256i f = _mm256_srli_epi32(fraction, 16);
    __m256i scaled = _mm256_srli_epi32(_mm256_mullo_epi32(_mm256_abs_epi32(difference), f), 16);
    return _mm256_add_epi32(a, _mm256_sign_epi32(scaled, difference));
}

// gain * value / 256, truncated toward zero.
ZANDREL_AVX2 __m256i Scale(__m256i gain, __m256i value) {
    __m256i product = _mm256_mullo_epi32(gain, value);
    return _mm256_sign_epi32(_mm256_srli_epi32(_mm256_abs_epi32(product), 8), product);
}

ZANDREL_AVX2 void AddInterleaved(int32_t* accumulator, __m256i left, __m256i right) {
    __m256i low = _mm256_unpacklo_epi32(left, right);  // frames 0 1 | 4 5
    __m256i high = _mm256_unpackhi_epi32(left, right); // frames 2 3 | 6 7
    auto* out = reinterpret_cast<__m256i*>(accumulator);
    __m256i first = _mm256_permute2x128_si256(low, high, 0x20);
    __m256i second = _mm256_permute2x128_si256(low, high, 0x31);
    _mm256_storeu_si256(out, _mm256_add_epi32(_mm256_loadu_si256(out), first));
    _mm256_storeu_si256(out + 1, _mm256_add_epi32(_mm256_loadu_si256(out + 1), second));
}

template <int Channels>
ZANDREL_AVX2 int MixAvx2(const uint8_t* frames, uint64_t& position, uint64_t step, Gains gains,
                         int32_t* accumulator, int count) {
    int mixed = count & ~7;
    if (!mixed) return 0;
    Lanes lanes = FirstLanes(position, step);
    uint64_t eightSteps = step * 8;
    __m256i stepIndex = _mm256_set1_epi32(static_cast<int>(eightSteps >> 32));
    __m256i stepFraction = _mm256_set1_epi32(static_cast<int>(static_cast<uint32_t>(eightSteps)));
    __m256i leftGain = _mm256_set1_epi32(gains.left);
    __m256i rightGain = _mm256_set1_epi32(gains.right);
    const auto* base = reinterpret_cast<const int*>(frames);
    for (int n = 0; n < mixed; n += 8, accumulator += 16) {
        __m256i left, right;
        if constexpr (Channels == 1) {
            // Each lane reads a frame and the one after it in one word.
            __m256i pair = _mm256_i32gather_epi32(base, lanes.index, 2);
            __m256i value = Lerp(LowHalf(pair), HighHalf(pair), lanes.fraction);
            left = Scale(leftGain, value);
            right = Scale(rightGain, value);
        } else {
            __m256i now = _mm256_i32gather_epi32(base, lanes.index, 4);
            __m256i next = _mm256_i32gather_epi32(base + 1, lanes.index, 4);
            left = Scale(leftGain, Lerp(LowHalf(now), LowHalf(next), lanes.fraction));
            right = Scale(rightGain, Lerp(HighHalf(now), HighHalf(next), lanes.fraction));
        }
        AddInterleaved(accumulator, left, right);
        Advance(lanes, stepIndex, stepFraction);
    }
    position += static_cast<uint64_t>(mixed) * step;
    return mixed;
}

} // namespace

namespace {
std::atomic<bool> vectorLoopsAllowed{true};
} // namespace

bool CpuHasAvx2() {
    static const bool hasAvx2 = __builtin_cpu_supports("avx2");
    return hasAvx2 && vectorLoopsAllowed.load(std::memory_order_relaxed);
}

void AllowVectorLoops(bool allowed) {
    vectorLoopsAllowed = allowed;
}

int MixMono16Avx2(const uint8_t* frames, uint64_t& position, uint64_t step, Gains gains,
                  int32_t* accumulator, int count) {
    return MixAvx2<1>(frames, position, step, gains, accumulator, count);
}

int MixStereo16Avx2(const uint8_t* frames, uint64_t& position, uint64_t step, Gains gains,
                    int32_t* accumulator, int count) {
    return MixAvx2<2>(frames, position, step, gains, accumulator, count);
}

} // namespace zandrel::mix
