#include "fs_native.hpp"

namespace zandrel {

namespace {

bool IsValidFolderName(const String& name) {
    if (name.empty() || name == u"." || name == u"..") return false;
    return name.find_first_of(u"/\\:") == String::npos && ToOsName(name).has_value();
}

} // namespace

String UserDataFolder(TextArg name) {
    if (!IsValidFolderName(name)) throw RuntimeError("Invalid data folder name");
    std::string base = native::UserDataBase();
    if (base.empty()) return String();
    String folder = FromUtf8(base) + u"/" + name;
    if (!MakeFolder(folder, true)) return String();
    if (!native::KeepUserDataFolder(*ToOsName(folder))) return String();
    return folder;
}

} // namespace zandrel
