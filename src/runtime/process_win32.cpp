#include "process_native.hpp"
#include "wide_names.hpp"

#include <windows.h>

#include <algorithm>
#include <vector>

namespace zandrel::native {

std::optional<std::wstring> WideName(const std::string& utf8) {
    if (utf8.empty()) return std::wstring();
    int size = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(),
                                   static_cast<int>(utf8.size()), nullptr, 0);
    if (size <= 0) return std::nullopt;
    std::wstring wide(static_cast<size_t>(size), L'\0');
    MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), static_cast<int>(utf8.size()),
                        wide.data(), size);
    return wide;
}

std::string NarrowName(const std::wstring& wide) {
    return ToUtf8(String(wide.begin(), wide.end()));
}

namespace {

// The framework's paths separate their parts with "/", as Windows allows.
String FromWide(const wchar_t* text, size_t length) {
    String path(text, text + length);
    std::replace(path.begin(), path.end(), u'\\', u'/');
    return path;
}

} // namespace

// The buffer grows until the whole path fits: long paths exceed MAX_PATH.
String ExecutablePath() {
    std::vector<wchar_t> path(MAX_PATH);
    for (;;) {
        DWORD n = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (n == 0) return String();
        if (n < path.size()) return FromWide(path.data(), n);
        path.resize(path.size() * 2);
    }
}

String WorkingFolder() {
    DWORD size = GetCurrentDirectoryW(0, nullptr);
    if (size == 0) return String();
    std::vector<wchar_t> path(size);
    DWORD n = GetCurrentDirectoryW(size, path.data());
    return n == 0 || n >= size ? String() : FromWide(path.data(), n);
}

bool ChangeWorkingFolder(const String& folder) {
    return !ToUtf8Exact(folder) ? false : SetCurrentDirectoryW(WideOf(folder).c_str()) != 0;
}

} // namespace zandrel::native
