#include "fs_native.hpp"

#include <emscripten.h>

#include <set>

namespace zandrel::native {

namespace {

// JavaScript, kept from clang-format, which would split an arrow
// function's "=>" into "= >".
// clang-format off

// Mounts the browser's storage on the folder and waits for what it kept.
EM_ASYNC_JS(int, zandrel_mount_kept_folder, (const char* path), {
    const folder = UTF8ToString(path);
    try {
        FS.mount(IDBFS, {}, folder);
    } catch (error) {
        return 0;
    }
    return await new Promise(function(done) {
        FS.syncfs(true, function(error) { done(error ? 0 : 1); });
    });
});

// Writes the kept folders back; the page's next load reads them.
EM_JS(void, zandrel_write_back_kept_folders, (), {
    FS.syncfs(false, function(error) {
        if (error) console.warn('zandrel: a data folder was not written back', error);
    });
});

// clang-format on

std::set<std::string> keptFolders;

} // namespace

std::string UserDataBase() {
    return "/home/web_user/.local/share";
}

bool KeepUserDataFolder(const std::string& path) {
    if (keptFolders.count(path)) return true;
    if (!zandrel_mount_kept_folder(path.c_str())) return false;
    keptFolders.insert(path);
    return true;
}

void AfterWholeSave(const std::string& path) {
    for (const std::string& folder : keptFolders) {
        if (path.compare(0, folder.size() + 1, folder + "/") == 0) {
            zandrel_write_back_kept_folders();
            return;
        }
    }
}

} // namespace zandrel::native
