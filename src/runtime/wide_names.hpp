// Names between the framework's UTF-8 OS names and Windows' UTF-16 ones, for
// the Win32 native files of every module.
#pragma once

#include <zandrel/runtime.hpp>

#include <optional>
#include <string>

namespace zandrel::native {

// The UTF-16 form of a UTF-8 name; no value for bytes that are not UTF-8
// (a name with a lone surrogate never gets here: ToOsName refuses it).
std::optional<std::wstring> WideName(const std::string& utf8);
// The UTF-8 form of a name the system gave.
std::string NarrowName(const std::wstring& wide);
// The same for a framework string, which is UTF-16 already.
inline std::wstring WideOf(const String& text) {
    return std::wstring(text.begin(), text.end());
}

} // namespace zandrel::native
