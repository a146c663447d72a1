// The shortest text that reads back as the same real number, as the
// platform's C++ library can give it.
#pragma once

#include <string>

namespace zandrel::native {

std::string ShortestText(float value);
std::string ShortestText(double value);

} // namespace zandrel::native
