#include "number_text.hpp"

#include <charconv>

namespace zandrel::native {

namespace {

template <class T> std::string Shortest(T value) {
    char buf[64];
    auto result = std::to_chars(buf, buf + sizeof buf, value);
    return std::string(buf, static_cast<size_t>(result.ptr - buf));
}

} // namespace

std::string ShortestText(float value) {
    return Shortest(value);
}

std::string ShortestText(double value) {
    return Shortest(value);
}

} // namespace zandrel::native
