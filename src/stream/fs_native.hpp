// The operating-system side of the file-system helpers. Paths are the OS's
// names: UTF-8 bytes made by ToOsName.
#pragma once

#include <zandrel/stream.hpp>

#include <string>

namespace zandrel::native {

struct FileStatus {
    FileKind kind = FileKind::NoFile;
    int64_t modifiedTime = 0;
    int64_t size = 0;
    int mode = 0;
};

// False when the path cannot be examined.
bool StatPath(const std::string& path, FileStatus& status);
bool ChangeMode(const std::string& path, int mode);
bool MakeDirectory(const std::string& path);
bool RemoveDirectory(const std::string& path);
bool ChangeDirectory(const std::string& path);

FolderListing* OpenDirectory(const std::string& path);
// The next entry name; empty at the end.
std::string ReadDirectory(FolderListing* listing);
void CloseDirectory(FolderListing* listing);

} // namespace zandrel::native
