#include "process_native.hpp"

#include <climits>
#include <unistd.h>

namespace zandrel::native {

String ExecutablePath() {
    char path[PATH_MAX];
    ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
    if (n <= 0) return String();
    return FromUtf8(std::string_view(path, static_cast<size_t>(n)));
}

String WorkingFolder() {
    char path[PATH_MAX];
    if (!getcwd(path, sizeof path)) return String();
    return FromUtf8(path);
}

bool ChangeWorkingFolder(const String& folder) {
    auto name = ToOsName(folder);
    return name && chdir(name->c_str()) == 0;
}

} // namespace zandrel::native
