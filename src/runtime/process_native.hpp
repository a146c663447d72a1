// The operating-system side of the process entry.
#pragma once

#include <zandrel/runtime.hpp>

namespace zandrel::native {

String ExecutablePath();
String WorkingFolder();
bool ChangeWorkingFolder(const String& folder);

} // namespace zandrel::native
