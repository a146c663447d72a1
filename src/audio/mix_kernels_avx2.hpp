// Eight frames at a time with AVX2, bit for bit what the scalar loops give.
#pragma once

#include "mix_kernels.hpp"

namespace zandrel::mix {

// True when the processor has AVX2 and the vector loops are allowed.
bool CpuHasAvx2();
// Off, the scalar loops mix everything, as on a processor without AVX2.
void AllowVectorLoops(bool allowed);

// Mix the largest multiple of 8 frames not above `count` from 16-bit mono or
// stereo frames, advance the position past them and return how many that was.
// Only to be called when CpuHasAvx2().
int MixMono16Avx2(const uint8_t* frames, uint64_t& position, uint64_t step, Gains gains,
                  int32_t* accumulator, int count);
int MixStereo16Avx2(const uint8_t* frames, uint64_t& position, uint64_t step, Gains gains,
                    int32_t* accumulator, int count);

} // namespace zandrel::mix
