// Where the AVX2 kernels are not built (WebAssembly), the scalar loops mix
// every frame.
#include "mix_kernels_avx2.hpp"

namespace zandrel::mix {

bool CpuHasAvx2() {
    return false;
}

int MixMono16Avx2(const uint8_t*, uint64_t&, uint64_t, Gains, int32_t*, int) {
    return 0;
}

int MixStereo16Avx2(const uint8_t*, uint64_t&, uint64_t, Gains, int32_t*, int) {
    return 0;
}

} // namespace zandrel::mix
