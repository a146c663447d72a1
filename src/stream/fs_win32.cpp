// Files and folders through the wide-character Win32 calls. The names come
// as UTF-8 from ToOsName and reach the system as UTF-16; a whole save writes
// a file beside the target, flushes it to the disk and moves it over the old
// one in one step.
#include "fs_native.hpp"
#include "runtime/wide_names.hpp"

#include <windows.h>

#include <fcntl.h>
#include <io.h>

#include <atomic>
#include <cerrno>

// <windows.h> names the ANSI or wide call so; ours is the native interface's.
#undef RemoveDirectory

namespace zandrel {

struct FolderListing {
    HANDLE find = INVALID_HANDLE_VALUE;
    WIN32_FIND_DATAW entry{};
    bool pending = false; // FindFirstFileW's entry is not read yet
};

namespace native {

namespace {

// Seconds from 1601 to 1970, in which FILETIME counts 100 ns steps.
constexpr int64_t EpochDifference = 11644473600LL;

int64_t UnixSeconds(const FILETIME& time) {
    int64_t ticks = static_cast<int64_t>(time.dwHighDateTime) << 32 | time.dwLowDateTime;
    return ticks / 10000000 - EpochDifference;
}

// A name Windows cannot take (bytes that are not UTF-8) is a name no file has.
template <typename Call>
auto WithWideName(const std::string& path, Call call) -> decltype(call(L"")) {
    auto wide = WideName(path);
    if (!wide) {
        SetLastError(ERROR_INVALID_NAME);
        return decltype(call(L""))();
    }
    return call(wide->c_str());
}

bool Attributes(const std::string& path, WIN32_FILE_ATTRIBUTE_DATA& data) {
    return WithWideName(path, [&](const wchar_t* name) {
        return GetFileAttributesExW(name, GetFileExInfoStandard, &data) != 0;
    });
}

} // namespace

FILE* OpenFile(const std::string& path, const char* mode) {
    auto name = WideName(path), wideMode = WideName(mode);
    if (!name || !wideMode) {
        errno = ENOENT;
        return nullptr;
    }
    return _wfopen(name->c_str(), wideMode->c_str());
}

// The mode shows what Windows has of one: read-only files lose the write bits.
bool StatPath(const std::string& path, FileStatus& status) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!Attributes(path, data)) return false;
    bool folder = data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY;
    bool device = data.dwFileAttributes & FILE_ATTRIBUTE_DEVICE;
    status.kind = folder ? FileKind::Folder : device ? FileKind::NoFile : FileKind::Regular;
    status.modifiedTime = UnixSeconds(data.ftLastWriteTime);
    status.size = static_cast<int64_t>(data.nFileSizeHigh) << 32 | data.nFileSizeLow;
    status.mode = folder ? 0777 : 0666;
    if (data.dwFileAttributes & FILE_ATTRIBUTE_READONLY) status.mode &= ~0222;
    return true;
}

// Windows keeps one permission bit: read-only, the lack of the owner's write bit.
bool ChangeMode(const std::string& path, int mode) {
    return WithWideName(path, [&](const wchar_t* name) {
        DWORD attributes = GetFileAttributesW(name);
        if (attributes == INVALID_FILE_ATTRIBUTES) return false;
        if (mode & 0200)
            attributes &= ~static_cast<DWORD>(FILE_ATTRIBUTE_READONLY);
        else
            attributes |= FILE_ATTRIBUTE_READONLY;
        return SetFileAttributesW(name, attributes) != 0;
    });
}

bool MakeDirectory(const std::string& path) {
    return WithWideName(path,
                        [](const wchar_t* name) { return CreateDirectoryW(name, nullptr) != 0; });
}
bool RemoveDirectory(const std::string& path) {
    return WithWideName(path, [](const wchar_t* name) { return RemoveDirectoryW(name) != 0; });
}
bool ChangeDirectory(const std::string& path) {
    return WithWideName(path, [](const wchar_t* name) { return SetCurrentDirectoryW(name) != 0; });
}

FolderListing* OpenDirectory(const std::string& path) {
    auto wide = WideName(path);
    if (!wide) return nullptr;
    if (!wide->empty() && wide->back() != L'\\' && wide->back() != L'/') *wide += L'\\';
    auto* listing = new FolderListing;
    listing->find = FindFirstFileW((*wide + L"*").c_str(), &listing->entry);
    if (listing->find == INVALID_HANDLE_VALUE) {
        delete listing;
        return nullptr;
    }
    listing->pending = true;
    return listing;
}

std::string ReadDirectory(FolderListing* listing) {
    if (!listing) return std::string();
    if (!listing->pending && !FindNextFileW(listing->find, &listing->entry)) return std::string();
    listing->pending = false;
    return NarrowName(listing->entry.cFileName);
}

void CloseDirectory(FolderListing* listing) {
    if (!listing) return;
    FindClose(listing->find);
    delete listing;
}

// Links are rare on Windows and MoveFileExW replaces a link by the new file
// rather than writing through it, as the described system does: the path is
// where the write lands.
std::string FollowLinks(const std::string& path) {
    return path;
}

bool MayWrite(const std::string& path) {
    return WithWideName(path, [](const wchar_t* name) {
        HANDLE file =
            CreateFileW(name, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                        nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE) return false;
        CloseHandle(file);
        return true;
    });
}

namespace {

// CREATE_NEW makes a clash harmless; the suffix only has to make one unlikely.
std::wstring UniqueSuffix() {
    static std::atomic<uint64_t> counter{0};
    LARGE_INTEGER now{};
    QueryPerformanceCounter(&now);
    uint64_t bits = (counter.fetch_add(1) + 1) * 0x9E3779B97F4A7C15ull;
    bits ^=
        static_cast<uint64_t>(GetCurrentProcessId()) << 40 ^ static_cast<uint64_t>(now.QuadPart);
    static const wchar_t digits[] = L"abcdefghijklmnopqrstuvwxyz0123456789";
    std::wstring suffix;
    for (int i = 0; i < 8; ++i, bits /= 36)
        suffix += digits[bits % 36];
    return suffix;
}

FILE* StreamOf(HANDLE file) {
    int fd = _open_osfhandle(reinterpret_cast<intptr_t>(file), _O_WRONLY | _O_BINARY);
    if (fd < 0) return nullptr;
    FILE* stream = _fdopen(fd, "wb");
    if (!stream) _close(fd);
    return stream;
}

} // namespace

FILE* CreateFileBeside(const std::string& target, std::string& created) {
    auto wide = WideName(target);
    if (!wide) return nullptr;
    auto slash = wide->find_last_of(L"/\\");
    std::wstring folder = slash == std::wstring::npos ? std::wstring() : wide->substr(0, slash + 1);
    std::wstring name = wide->substr(folder.size()).substr(0, 200);
    if (name.empty()) return nullptr;
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::wstring candidate = folder + L"." + name + L"." + UniqueSuffix() + L".tmp";
        HANDLE file = CreateFileW(candidate.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE && GetLastError() == ERROR_FILE_EXISTS) continue;
        if (file == INVALID_HANDLE_VALUE) return nullptr;
        FILE* stream = StreamOf(file);
        if (!stream) {
            CloseHandle(file);
            DeleteFileW(candidate.c_str());
            return nullptr;
        }
        created = NarrowName(candidate);
        return stream;
    }
    return nullptr;
}

bool SyncToDisk(FILE* file) {
    if (std::fflush(file) != 0) return false;
    auto handle = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(file)));
    return handle != INVALID_HANDLE_VALUE && FlushFileBuffers(handle) != 0;
}

bool RenameOver(const std::string& from, const std::string& to) {
    auto source = WideName(from), target = WideName(to);
    return source && target &&
           MoveFileExW(source->c_str(), target->c_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}

bool RemoveFileEntry(const std::string& path) {
    return WithWideName(path, [](const wchar_t* name) { return DeleteFileW(name) != 0; });
}

} // namespace native
} // namespace zandrel
