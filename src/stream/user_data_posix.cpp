#include "fs_native.hpp"

#include <cstdlib>
#include <pwd.h>
#include <unistd.h>

namespace zandrel::native {

// A relative $XDG_DATA_HOME is to be ignored, as the base-directory rules say.
std::string UserDataBase() {
    const char* data = std::getenv("XDG_DATA_HOME");
    if (data && data[0] == '/') return data;
    const char* home = std::getenv("HOME");
    if (!home || home[0] != '/') {
        const passwd* user = getpwuid(getuid());
        home = user ? user->pw_dir : nullptr;
    }
    if (!home || home[0] != '/') return std::string();
    return std::string(home) + "/.local/share";
}

bool KeepUserDataFolder(const std::string&) {
    return true; // the disk keeps it
}

void AfterWholeSave(const std::string&) {}

} // namespace zandrel::native
