#include "mix_kernels_avx2.hpp"

#include <algorithm>
#include <cstddef>

namespace zandrel::mix {

namespace {

// The fraction is the top 16 bits of the position's fraction word.
inline int Lerp(int a, int b, uint32_t fraction) {
    return a + static_cast<int>(static_cast<int64_t>(b - a) * fraction / 65536);
}

// Full volume (4096) adds 16 times the 16-bit value.
inline int Scale(int gain, int value) {
    return gain * value / 256;
}

// 8-bit values are unsigned; both widths are mixed as signed 16-bit.
template <int Bits> inline int ValueAt(const uint8_t* frames, size_t index) {
    if constexpr (Bits == 16)
        return reinterpret_cast<const int16_t*>(frames)[index];
    else
        return frames[index] * 256 - 32768;
}

// A mono sample feeds both sides.
template <int Bits, int Channels>
inline void ReadFrame(const uint8_t* frames, uint64_t position, int& left, int& right) {
    size_t i = static_cast<size_t>(position >> 32) * Channels;
    uint32_t fraction = static_cast<uint32_t>(position >> 16) & 0xFFFF;
    left = Lerp(ValueAt<Bits>(frames, i), ValueAt<Bits>(frames, i + Channels), fraction);
    if constexpr (Channels == 2)
        right = Lerp(ValueAt<Bits>(frames, i + 1), ValueAt<Bits>(frames, i + 3), fraction);
    else
        right = left;
}

// How many of `frames` steps may be mixed before the cursor reaches its end.
inline int FramesBeforeEnd(const Cursor& cursor, uint64_t step, int frames) {
    if (step == 0) return frames;
    uint64_t left = (cursor.end - cursor.position + step - 1) / step;
    return left < static_cast<uint64_t>(frames) ? static_cast<int>(left) : frames;
}

// A looping sample wraps; true when a sample that does not loop has ended.
// An empty sample ends even when it loops: there is nothing to wrap to.
inline bool ReachedEnd(Cursor& cursor) {
    if (cursor.position < cursor.end) return false;
    if (!cursor.loop || cursor.end == 0) return true;
    cursor.position %= cursor.end;
    return false;
}

template <int Bits, int Channels>
void MixRun(const uint8_t* frames, uint64_t& position, uint64_t step, Gains gains,
            int32_t* accumulator, int count) {
    if constexpr (Bits == 16) {
        if (CpuHasAvx2()) {
            int mixed = Channels == 1
                            ? MixMono16Avx2(frames, position, step, gains, accumulator, count)
                            : MixStereo16Avx2(frames, position, step, gains, accumulator, count);
            accumulator += 2 * mixed;
            count -= mixed;
        }
    }
    uint64_t pos = position;
    for (int n = 0; n < count; ++n, accumulator += 2, pos += step) {
        int left, right;
        ReadFrame<Bits, Channels>(frames, pos, left, right);
        accumulator[0] += Scale(gains.left, left);
        accumulator[1] += Scale(gains.right, right);
    }
    position = pos;
}

template <int Bits, int Channels>
bool MixSteady(Cursor& cursor, uint64_t step, Gains gains, int32_t* accumulator, int frames) {
    if (ReachedEnd(cursor)) return true;
    while (frames > 0) {
        int run = FramesBeforeEnd(cursor, step, frames);
        MixRun<Bits, Channels>(cursor.frames, cursor.position, step, gains, accumulator, run);
        accumulator += 2 * run;
        frames -= run;
        if (ReachedEnd(cursor)) return true;
    }
    return false;
}

template <int Bits, int Channels>
bool MixRamped(Cursor& cursor, Ramp ramp, int32_t* accumulator, int frames) {
    if (ReachedEnd(cursor)) return true;
    for (int n = 0; n < frames; ++n, accumulator += 2) {
        Gains gains = GainsFor(ramp.volume / 256, ramp.pan, ramp.depth);
        int left, right;
        ReadFrame<Bits, Channels>(cursor.frames, cursor.position, left, right);
        accumulator[0] += Scale(gains.left, left);
        accumulator[1] += Scale(gains.right, right);
        cursor.position += static_cast<uint64_t>(std::max<int64_t>(ramp.step, 0));
        ramp.volume += ramp.volumeDelta;
        ramp.step += ramp.stepDelta;
        if (ReachedEnd(cursor)) return true;
    }
    return false;
}

} // namespace

// A pan past either side counts as fully there.
Gains GainsFor(int volume, int pan, int depth) {
    pan = std::clamp(pan, -4096, 4096);
    Gains gains{volume, volume};
    if (pan > 0) gains.left = volume * (4096 - pan) / 4096;
    if (pan < 0) gains.right = volume * (4096 + pan) / 4096;
    if (depth < 0) gains.right = -gains.right;
    return gains;
}

SteadyMixer SteadyMixerFor(int bits, int channels) {
    if (bits == 8) return channels == 2 ? MixSteady<8, 2> : MixSteady<8, 1>;
    return channels == 2 ? MixSteady<16, 2> : MixSteady<16, 1>;
}

RampMixer RampMixerFor(int bits, int channels) {
    if (bits == 8) return channels == 2 ? MixRamped<8, 2> : MixRamped<8, 1>;
    return channels == 2 ? MixRamped<16, 2> : MixRamped<16, 1>;
}

bool SkipFrames(Cursor& cursor, uint64_t step, int frames) {
    cursor.position += step * static_cast<uint64_t>(frames);
    return ReachedEnd(cursor);
}

} // namespace zandrel::mix
