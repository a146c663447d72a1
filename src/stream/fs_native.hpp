// The operating-system side of the file-system helpers and of saving a file
// whole. Paths are the OS's names: UTF-8 bytes made by ToOsName. A new
// platform provides each function below.
#pragma once

#include <zandrel/stream.hpp>

#include <cstdio>
#include <string>

namespace zandrel::native {

struct FileStatus {
    FileKind kind = FileKind::NoFile;
    int64_t modifiedTime = 0;
    int64_t size = 0;
    int mode = 0;
};

// The file opened with a C library mode ("rb", "wb", "r+b"); null with errno
// set when it cannot be.
FILE* OpenFile(const std::string& path, const char* mode);

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

// Where a write to `path` lands: the path itself, or the end of the chain of
// symbolic links that starts there (a relative link read from its folder);
// empty when the chain does not end.
std::string FollowLinks(const std::string& path);
// True when this process may write to the existing file.
bool MayWrite(const std::string& path);
// A new empty file open for writing in the folder of `target`, under a name no
// other file has, given the permission bits (and, where allowed, the owner) of
// `target` when that exists, else those any new file gets. Null when it cannot
// be made; `created` receives its path.
FILE* CreateFileBeside(const std::string& target, std::string& created);
// Pushes what the system holds of the file's data to the disk.
bool SyncToDisk(FILE* file);
// Puts `from` in the place of `to` in one step: `to` is old or new, never half.
bool RenameOver(const std::string& from, const std::string& to);
bool RemoveFileEntry(const std::string& path);

// The folder that holds the folders programs keep their own files in; empty
// when the system names none.
std::string UserDataBase();
// Called once a program's data folder exists: a page keeps it in the
// browser's storage and reads back what was kept there. False when it cannot.
bool KeepUserDataFolder(const std::string& path);
// Called once a whole save has put the file at `path` in place: a page writes
// a kept folder back to the browser's storage.
void AfterWholeSave(const std::string& path);

} // namespace zandrel::native
