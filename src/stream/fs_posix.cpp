#include "fs_native.hpp"

#include <atomic>
#include <cerrno>
#include <climits>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace zandrel {

struct FolderListing {
    DIR* dir;
};

namespace native {

FILE* OpenFile(const std::string& path, const char* mode) {
    return std::fopen(path.c_str(), mode);
}

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

std::string FollowLinks(const std::string& path) {
    std::string current = path;
    for (int hop = 0; hop < 40; ++hop) {
        struct stat info;
        if (lstat(current.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) return current;
        char link[PATH_MAX];
        ssize_t n = readlink(current.c_str(), link, sizeof link);
        if (n <= 0 || n == static_cast<ssize_t>(sizeof link)) return std::string();
        std::string next(link, static_cast<size_t>(n));
        auto slash = current.rfind('/');
        if (next[0] != '/' && slash != std::string::npos)
            next = current.substr(0, slash + 1) + next;
        current = next;
    }
    return std::string(); // a loop, as the system itself would report it
}

bool MayWrite(const std::string& path) {
    return faccessat(AT_FDCWD, path.c_str(), W_OK, AT_EACCESS) == 0;
}

namespace {

// O_EXCL makes a clash harmless; the suffix only has to make one unlikely.
std::string UniqueSuffix() {
    static std::atomic<uint64_t> counter{0};
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    uint64_t bits = (counter.fetch_add(1) + 1) * 0x9E3779B97F4A7C15ull;
    bits ^= static_cast<uint64_t>(getpid()) << 40 ^ static_cast<uint64_t>(now.tv_nsec) ^
            static_cast<uint64_t>(now.tv_sec) << 20;
    static const char digits[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    std::string suffix;
    for (int i = 0; i < 8; ++i, bits /= 36)
        suffix += digits[bits % 36];
    return suffix;
}

// Only a process allowed to give files away can keep the owner; the mode is
// always kept.
bool TakeOwnerAndMode(int fd, const struct stat& old) {
    if (fchown(fd, old.st_uid, old.st_gid) != 0 && errno != EPERM) return false;
    return fchmod(fd, old.st_mode & 07777) == 0;
}

} // namespace

FILE* CreateFileBeside(const std::string& target, std::string& created) {
    auto slash = target.rfind('/');
    std::string folder = slash == std::string::npos ? std::string() : target.substr(0, slash + 1);
    // Room for the dot and the suffix within the system's 255-byte names.
    std::string name = target.substr(folder.size()).substr(0, 200);
    if (name.empty()) return nullptr;
    struct stat old;
    bool replacing = stat(target.c_str(), &old) == 0;
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string candidate = folder + "." + name + "." + UniqueSuffix() + ".tmp";
        int fd = open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno == EEXIST) continue;
        if (fd < 0) return nullptr;
        FILE* file = !replacing || TakeOwnerAndMode(fd, old) ? fdopen(fd, "wb") : nullptr;
        if (!file) {
            close(fd);
            unlink(candidate.c_str());
            return nullptr;
        }
        created = candidate;
        return file;
    }
    return nullptr;
}

bool SyncToDisk(FILE* file) {
    return std::fflush(file) == 0 && fsync(fileno(file)) == 0;
}

bool RenameOver(const std::string& from, const std::string& to) {
    return rename(from.c_str(), to.c_str()) == 0;
}

bool RemoveFileEntry(const std::string& path) {
    return unlink(path.c_str()) == 0;
}

} // namespace native
} // namespace zandrel
