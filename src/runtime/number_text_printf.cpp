// For a C++ library without the real-number std::to_chars (Emscripten's):
// the fewest significant digits that read back as the same value. Large and
// small values come in exponent form where to_chars might write all digits.
#include "number_text.hpp"

#include <cstdio>
#include <cstdlib>

namespace zandrel::native {

namespace {

template <class T> std::string Shortest(T value, int maxDigits) {
    char buf[64];
    for (int digits = 1; digits < maxDigits; ++digits) {
        std::snprintf(buf, sizeof buf, "%.*g", digits, static_cast<double>(value));
        if (static_cast<T>(std::strtod(buf, nullptr)) == value) return buf;
    }
    std::snprintf(buf, sizeof buf, "%.*g", maxDigits, static_cast<double>(value));
    return buf;
}

} // namespace

std::string ShortestText(float value) {
    return Shortest(value, 9);
}

std::string ShortestText(double value) {
    return Shortest(value, 17);
}

} // namespace zandrel::native
