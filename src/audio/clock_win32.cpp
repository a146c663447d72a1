#include "mixer.hpp"

#include <windows.h>

namespace zandrel::mix {

// QueryPerformanceCounter in milliseconds, as a wrapping signed 32-bit count.
int32_t MonotonicMillisecs() {
    static const int64_t frequency = [] {
        LARGE_INTEGER f{};
        QueryPerformanceFrequency(&f);
        return static_cast<int64_t>(f.QuadPart);
    }();
    LARGE_INTEGER now{};
    QueryPerformanceCounter(&now);
    auto ticks = static_cast<uint64_t>(now.QuadPart);
    auto per = static_cast<uint64_t>(frequency);
    uint64_t ms = ticks / per * 1000 + ticks % per * 1000 / per;
    return static_cast<int32_t>(static_cast<uint32_t>(ms));
}

} // namespace zandrel::mix
