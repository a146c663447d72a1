# cmake -DINPUT=<file> -DOUTPUT=<file.cpp> -DSYMBOL=<name> -P EmbedResource.cmake
file(READ ${INPUT} hex HEX)
string(LENGTH "${hex}" digits)
math(EXPR size "${digits} / 2")
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
string(REGEX REPLACE "((0x..,){24})" "\\1\n" bytes "${bytes}")
file(WRITE ${OUTPUT}
"// Generated from ${INPUT}; do not edit.
#include <cstddef>

namespace zandrel::embedded {
// One extra byte keeps the array valid for an empty file.
extern const unsigned char ${SYMBOL}[] = {
${bytes}0};
extern const std::size_t ${SYMBOL}_size = ${size};
} // namespace zandrel::embedded
")
