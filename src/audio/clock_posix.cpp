#include "mixer.hpp"

#include <time.h>

namespace zandrel::mix {

// CLOCK_MONOTONIC in milliseconds, as a wrapping signed 32-bit count.
int32_t MonotonicMillisecs() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    uint64_t ms =
        static_cast<uint64_t>(now.tv_sec) * 1000 + static_cast<uint64_t>(now.tv_nsec) / 1000000;
    return static_cast<int32_t>(static_cast<uint32_t>(ms));
}

} // namespace zandrel::mix
