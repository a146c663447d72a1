// The inner loops of the mixer: one voice's frames, interpolated and scaled,
// added into the stereo accumulator.
#pragma once

#include <cstdint>

namespace zandrel::mix {

struct Gains {
    int left = 0;
    int right = 0;
};

// 4.12 gains of the two sides for a volume, pan and depth.
Gains GainsFor(int volume, int pan, int depth);

// Where a voice reads its sample: `end` is the length in 32.32 frames.
struct Cursor {
    const uint8_t* frames = nullptr;
    uint64_t position = 0;
    uint64_t end = 0;
    bool loop = false;
};

// A ramp across the frames of one block: volumes in 1/256 units of 4.12,
// steps in 32.32 frames per output frame.
struct Ramp {
    int32_t volume = 0;
    int32_t volumeDelta = 0;
    int64_t step = 0;
    int64_t stepDelta = 0;
    int pan = 0;
    int depth = 0;
};

// Each returns true when a sample that does not loop has reached its end;
// the position is left where mixing stopped.
using SteadyMixer = bool (*)(Cursor& cursor, uint64_t step, Gains gains, int32_t* accumulator,
                             int frames);
using RampMixer = bool (*)(Cursor& cursor, Ramp ramp, int32_t* accumulator, int frames);

// For 8- or 16-bit samples of 1 or 2 channels.
SteadyMixer SteadyMixerFor(int bits, int channels);
RampMixer RampMixerFor(int bits, int channels);

// Moves the cursor `frames` steps without mixing; true as for the mixers.
bool SkipFrames(Cursor& cursor, uint64_t step, int frames);

} // namespace zandrel::mix
