#include <zandrel/system.hpp>

namespace zandrel {

namespace {

int32_t state = 0x1234;

// One Park-Miller step (multiplier 48271, modulus 2^31 - 1) with Schrage's
// decomposition, so that nothing overflows 32 bits.
int32_t Step() {
    constexpr int32_t q = 44488, r = 3399;
    state = (state % q) * 48271 - (state / q) * r;
    if (state < 0) state += 0x7FFFFFFF;
    return state;
}

} // namespace

float RndFloat() {
    return static_cast<float>((Step() & 0x0FFFFFF0) / 268435456.0);
}

double RndDouble() {
    double high = Step() & 0x1FFFFFFC;
    double low = Step() & 0x1FFFFFF8;
    return (high + low / 134217728.0) / 536870912.0;
}

double RandomRange(double a, double b) {
    if (b > a) return a + RndDouble() * (b - a);
    return b + RndDouble() * (a - b);
}

int RandomInt(int a, int b) {
    double range = static_cast<double>(b) - static_cast<double>(a);
    if (range > 0) return static_cast<int>(RndDouble() * (range + 1) + a);
    return static_cast<int>(RndDouble() * (1 - range) + b);
}

void SeedRandom(int seed) {
    state = seed & 0x7FFFFFFF;
    if (state == 0 || state == 0x7FFFFFFF) state = 0x1234;
}

int RandomSeed() {
    return state;
}

} // namespace zandrel
