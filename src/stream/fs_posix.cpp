#include "fs_native.hpp"

#include <climits>
#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

namespace zandrel {

struct FolderListing {
    DIR* dir;
};

namespace native {

bool StatPath(const std::string& path, FileStatus& status) {
    struct stat info;
    if (stat(path.c_str(), &info) != 0) return false;
    status.kind = S_ISREG(info.st_mode)   ? FileKind::Regular
                  : S_ISDIR(info.st_mode) ? FileKind::Folder
                                          : FileKind::NoFile;
    status.modifiedTime = info.st_mtime;
    status.size = info.st_size;
    status.mode = static_cast<int>(info.st_mode & 0777);
    return true;
}

bool ChangeMode(const std::string& path, int mode) {
    return chmod(path.c_str(), static_cast<mode_t>(mode)) == 0;
}

bool MakeDirectory(const std::string& path) {
    return mkdir(path.c_str(), 0777) == 0;
}
bool RemoveDirectory(const std::string& path) {
    return rmdir(path.c_str()) == 0;
}
bool ChangeDirectory(const std::string& path) {
    return chdir(path.c_str()) == 0;
}

FolderListing* OpenDirectory(const std::string& path) {
    DIR* dir = opendir(path.c_str());
    return dir ? new FolderListing{dir} : nullptr;
}

std::string ReadDirectory(FolderListing* listing) {
    if (!listing) return std::string();
    struct dirent* entry = readdir(listing->dir);
    return entry ? std::string(entry->d_name) : std::string();
}

void CloseDirectory(FolderListing* listing) {
    if (!listing) return;
    closedir(listing->dir);
    delete listing;
}

} // namespace native
} // namespace zandrel
