// setenv, unsetenv and fsync, which MinGW's C library lacks, over _putenv_s
// and _commit, for the tools and tests that use them. Included ahead of
// every C++ file of the Windows build.
#pragma once

#include <cstdlib>
#include <io.h>

inline int setenv(const char* name, const char* value, int overwrite) {
    if (!overwrite && std::getenv(name)) return 0;
    return _putenv_s(name, value) == 0 ? 0 : -1;
}

// An empty value removes the variable from the environment.
inline int unsetenv(const char* name) {
    return _putenv_s(name, "") == 0 ? 0 : -1;
}

inline int fsync(int fd) {
    return _commit(fd);
}
