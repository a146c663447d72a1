#include "fs_native.hpp"
#include "runtime/wide_names.hpp"

#include <windows.h>

#include <algorithm>

namespace zandrel::native {

namespace {

std::string Variable(const wchar_t* name) {
    wchar_t value[32768];
    DWORD n = GetEnvironmentVariableW(name, value, sizeof value / sizeof value[0]);
    if (n == 0 || n >= sizeof value / sizeof value[0]) return std::string();
    return NarrowName(std::wstring(value, n));
}

} // namespace

// Programs keep their own files in the user's roaming application data. The
// framework's paths separate their parts with "/".
std::string UserDataBase() {
    std::string base = Variable(L"APPDATA");
    if (base.empty()) base = Variable(L"LOCALAPPDATA");
    std::replace(base.begin(), base.end(), '\\', '/');
    return base;
}

bool KeepUserDataFolder(const std::string&) {
    return true; // the disk keeps it
}

void AfterWholeSave(const std::string&) {}

} // namespace zandrel::native
