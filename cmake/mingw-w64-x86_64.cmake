# Cross-compiling for 64-bit Windows with Debian's MinGW-w64 (the posix thread
# model, for std::thread). Programs built with it run here under Wine through
# scripts/wine.sh, which CTest and try_run use as the emulator.
# ZANDREL_WINDOWS_DEPS names the prefix of the C libraries built for Windows
# (scripts/windows-deps.sh); it is searched ahead of MinGW's own root.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(ZANDREL_MINGW_TRIPLET x86_64-w64-mingw32)

set(CMAKE_C_COMPILER ${ZANDREL_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${ZANDREL_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${ZANDREL_MINGW_TRIPLET}-windres)
set(CMAKE_ASM_NASM_COMPILER nasm)

list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES ZANDREL_WINDOWS_DEPS)
set(CMAKE_FIND_ROOT_PATH /usr/${ZANDREL_MINGW_TRIPLET})
if(ZANDREL_WINDOWS_DEPS)
    list(PREPEND CMAKE_FIND_ROOT_PATH ${ZANDREL_WINDOWS_DEPS})
endif()
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../scripts/wine.sh)
