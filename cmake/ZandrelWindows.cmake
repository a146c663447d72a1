# The Windows build (ZANDREL_PLATFORM=windows, cross-built with MinGW-w64 by
# cmake/mingw-w64-x86_64.cmake): the library on SDL2 and Win32 against the C
# libraries that scripts/windows-deps.sh builds into ZANDREL_WINDOWS_DEPS.
# Programs and tests run here under Wine through scripts/wine.sh.
set(ZANDREL_WINDOWS_DEPS ${PROJECT_BINARY_DIR}/deps CACHE PATH
    "Prefix of the C libraries built for Windows")
list(PREPEND CMAKE_FIND_ROOT_PATH ${ZANDREL_WINDOWS_DEPS})
set(ENV{PKG_CONFIG_LIBDIR} ${ZANDREL_WINDOWS_DEPS}/lib/pkgconfig)
set(ENV{PKG_CONFIG_PATH} "")
set(ENV{PKG_CONFIG_SYSROOT_DIR} "")

# Wine finds libzandrel and the DLLs of the C libraries and of the MinGW run
# time through the wrapper, which is told where the first two are.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_COMMAND} -E env
    ZANDREL_WINE_DLL_FOLDERS=${PROJECT_BINARY_DIR}:${ZANDREL_WINDOWS_DEPS}/bin
    ${PROJECT_SOURCE_DIR}/scripts/wine.sh)

# Unicode Win32 calls; <cmath>'s M_PI and friends, which -std=c++20 hides in
# MinGW's headers; no min/max macros from <windows.h>; Windows 7 and later;
# a 64-bit off_t, as libmpg123 was built with (its calls take the "_64" names).
add_compile_definitions(UNICODE _UNICODE _USE_MATH_DEFINES NOMINMAX WIN32_LEAN_AND_MEAN
                        _WIN32_WINNT=0x0601 _FILE_OFFSET_BITS=64)
add_compile_options(
    "$<$<COMPILE_LANGUAGE:CXX>:SHELL:-include ${CMAKE_CURRENT_LIST_DIR}/windows/posix_extras.hpp>")
