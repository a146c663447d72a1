#include "font_test_support.hpp"

#include <cstdio>

namespace zandrel::test {

std::string TinyBdf(const std::string& registry) {
    std::string bdf = "STARTFONT 2.1\n"
                      "FONT -test-tiny-medium-r-normal--12-120-75-75-c-80-" +
                      registry +
                      "-1\n"
                      "SIZE 12 75 75\n"
                      "FONTBOUNDINGBOX 7 12 0 -2\n"
                      "STARTPROPERTIES 5\n"
                      "PIXEL_SIZE 12\n"
                      "FONT_ASCENT 10\n"
                      "FONT_DESCENT 2\n"
                      "CHARSET_REGISTRY \"" +
                      registry +
                      "\"\n"
                      "CHARSET_ENCODING \"1\"\n"
                      "ENDPROPERTIES\n"
                      "CHARS 2\n"
                      "STARTCHAR space\nENCODING 32\nSWIDTH 583 0\nDWIDTH 7 0\nBBX 0 0 0 0\n"
                      "BITMAP\nENDCHAR\n"
                      "STARTCHAR A\nENCODING 65\nSWIDTH 667 0\nDWIDTH 8 0\nBBX 7 9 0 0\nBITMAP\n";
    for (unsigned char row : TinyA) {
        char hex[4];
        std::snprintf(hex, sizeof hex, "%02X\n", row);
        bdf += hex;
    }
    return bdf + "ENDCHAR\nENDFONT\n";
}

} // namespace zandrel::test
