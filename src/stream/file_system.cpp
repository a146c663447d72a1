#include "fs_native.hpp"
#include "runtime/process_native.hpp"

#include <cstdio>
#include <optional>

namespace zandrel {

namespace {

const String badDir = u"<bad_dir>";

bool HasDrivePrefix(const String& path) {
    return path.size() >= 3 && path[1] == u':' && path[2] == u'/';
}

// The name the OS knows the path by; no value when the path cannot be one
// (ToOsName), and then no operation touches the disk.
std::optional<std::string> NativePath(String path, bool isFolder = false) {
    NormalizePath(path, isFolder);
    return ToOsName(path);
}

bool Examine(const String& path, native::FileStatus& status, bool isFolder = false) {
    auto name = NativePath(path, isFolder);
    return name && native::StatPath(*name, status);
}

native::FileStatus Status(const String& path, bool isFolder = false) {
    native::FileStatus status;
    Examine(path, status, isFolder);
    return status;
}

} // namespace

void NormalizePath(String& path, bool isFolder) {
    if (path.empty()) return;
    for (auto& c : path)
        if (c == u'\\') c = u'/';
    if (path.size() >= 2 && path[1] == u':' && (path.size() == 2 || path[2] != u'/'))
        path.insert(2, 1, u'/');
    if (isFolder) TrimTrailingSlash(path);
}

void TrimTrailingSlash(String& path) {
    if (path.size() <= 1 || path.back() != u'/') return;
    if (path.size() == 3 && path[1] == u':') return;
    path.pop_back();
}

String FileNamePart(TextArg path) {
    NormalizePath(path);
    auto slash = path.rfind(u'/');
    return slash == String::npos ? path : path.substr(slash + 1);
}

String WithoutExtension(TextArg path) {
    NormalizePath(path);
    auto dot = path.rfind(u'.');
    if (dot == String::npos || path.find(u'/', dot) != String::npos) return path;
    return path.substr(0, dot);
}

String BaseNamePart(TextArg path) {
    return FileNamePart(WithoutExtension(std::move(path)));
}

String ExtensionPart(TextArg path) {
    NormalizePath(path);
    auto dot = path.rfind(u'.');
    if (dot == String::npos || path.find(u'/', dot) != String::npos) return String();
    return path.substr(dot + 1);
}

String FolderPart(TextArg path) {
    NormalizePath(path);
    auto slash = path.rfind(u'/');
    if (slash == String::npos || slash + 1 == path.size()) return badDir;
    return path.substr(0, slash);
}

String CurrentFolder() {
    String folder = native::WorkingFolder().substr(0, 1023);
    NormalizePath(folder);
    return folder;
}

namespace {

// The folder part of a path that is normalised already. Normalising it again
// would read a part such as ":x" just under the root as a drive prefix and
// cut it in two.
String ParentOfResolved(const String& path) {
    auto slash = path.rfind(u'/');
    if (slash == String::npos || slash + 1 == path.size()) return badDir;
    return path.substr(0, slash);
}

} // namespace

String ResolvePath(TextArg path) {
    if (path.empty() || path == u".") return CurrentFolder();
    NormalizePath(path);
    String result;
    if (path[0] == u'/') {
        result = u"/";
        path.erase(0, 1);
    } else if (HasDrivePrefix(path)) {
        result = path.substr(0, 3);
        path.erase(0, 3);
    } else {
        result = CurrentFolder();
    }
    path += u'/';
    size_t start = 0;
    for (size_t slash; (slash = path.find(u'/', start)) != String::npos; start = slash + 1) {
        String part = path.substr(start, slash - start);
        if (part.empty() || part == u".") continue;
        if (part == u"..") {
            result = ParentOfResolved(result);
            if (result == badDir) return badDir;
            // The parent of "/x" is the root itself.
            if (result.empty()) result.assign(1, u'/');
            continue;
        }
        if (!result.empty() && result.back() != u'/') result += u'/';
        result += part;
    }
    return result;
}

FileKind PathKind(TextArg path) {
    return Status(path).kind;
}

int64_t FileModifiedTime(TextArg path) {
    native::FileStatus status;
    return Examine(path, status) ? status.modifiedTime : 0;
}

int64_t FileByteSize(TextArg path) {
    native::FileStatus status;
    return Examine(path, status) ? status.size : -1;
}

int FilePermissions(TextArg path) {
    native::FileStatus status;
    return Examine(path, status) ? status.mode : -1;
}

bool SetFilePermissions(TextArg path, int mode) {
    auto name = NativePath(path);
    return name && native::ChangeMode(*name, mode);
}

bool MakeEmptyFile(TextArg path) {
    auto name = NativePath(path);
    if (!name) return false;
    RemoveFile(path);
    FILE* file = native::OpenFile(*name, "wb");
    if (file) std::fclose(file);
    return PathKind(path) == FileKind::Regular;
}

bool MakeFolder(TextArg path, bool recursive) {
    auto name = NativePath(path, true);
    if (!name) return false;
    if (!recursive) {
        native::MakeDirectory(*name);
        return Status(path, true).kind == FileKind::Folder;
    }
    String full = ResolvePath(path);
    if (full == badDir) return false;
    full += u'/';
    for (size_t slash = 0; (slash = full.find(u'/', slash)) != String::npos; ++slash) {
        String prefix = full.substr(0, slash + 1);
        FileKind kind = Status(prefix).kind;
        if (kind == FileKind::Folder) continue;
        if (kind == FileKind::Regular) return false;
        String folder = full.substr(0, slash);
        if (auto folderName = NativePath(folder)) native::MakeDirectory(*folderName);
        if (Status(folder).kind != FileKind::Folder) return false;
    }
    return true;
}

bool RemoveFile(TextArg path) {
    auto name = NativePath(path);
    if (!name) return false;
    native::ChangeMode(*name, 0666);
    // As the C library's remove: a file, else an empty folder.
    if (!native::RemoveFileEntry(*name)) native::RemoveDirectory(*name);
    return PathKind(path) == FileKind::NoFile;
}

bool RenamePath(TextArg from, TextArg to) {
    auto source = NativePath(from), target = NativePath(to);
    return source && target && native::RenameOver(*source, *target);
}

bool CopyFileContents(TextArg from, TextArg to) {
    NormalizePath(from);
    NormalizePath(to);
    auto source = OpenReadStream(from);
    if (!source) return false;
    auto target = OpenSaveStream(to);
    if (!target) {
        source->Close();
        return false;
    }
    bool copied = true;
    try {
        CopyStreamData(*source, *target, 4096);
    } catch (const TStreamWriteError&) {
        copied = false;
    }
    // A copy that failed is dropped unclosed, so that it does not replace `to`.
    copied = copied && target->Close();
    target = nullptr;
    source->Close();
    return copied;
}

bool CopyFolder(TextArg from, TextArg to) {
    NormalizePath(from, true);
    NormalizePath(to, true);
    if (PathKind(from) != FileKind::Folder) return false;
    if (PathKind(to) == FileKind::NoFile) MakeFolder(to, false);
    if (PathKind(to) != FileKind::Folder) return false;
    for (const String& entry : ListFolder(from, true)) {
        String source = from + u'/' + entry;
        String target = to + u'/' + entry;
        bool copied = PathKind(source) == FileKind::Folder ? CopyFolder(source, target)
                                                           : CopyFileContents(source, target);
        if (!copied) return false;
    }
    return true;
}

bool RemoveFolder(TextArg path, bool recursive) {
    NormalizePath(path, true);
    auto name = NativePath(path);
    if (!name) return false;
    if (recursive) {
        FolderListing* listing = OpenFolderListing(path);
        if (!listing) return false;
        for (String entry; !(entry = NextFolderEntry(listing)).empty();) {
            if (entry == u"." || entry == u"..") continue;
            String child = path + u'/' + entry;
            if (PathKind(child) == FileKind::Folder)
                RemoveFolder(child, true);
            else
                RemoveFile(child);
        }
        CloseFolderListing(listing);
    }
    native::RemoveDirectory(*name);
    return PathKind(path) == FileKind::NoFile;
}

bool ChangeFolder(TextArg path) {
    auto name = NativePath(path, true);
    return name && native::ChangeDirectory(*name);
}

FolderListing* OpenFolderListing(TextArg path) {
    auto name = NativePath(path, true);
    return name ? native::OpenDirectory(*name) : nullptr;
}

String NextFolderEntry(FolderListing* listing) {
    return FromUtf8(native::ReadDirectory(listing));
}

void CloseFolderListing(FolderListing* listing) {
    native::CloseDirectory(listing);
}

std::vector<String> ListFolder(TextArg path, bool skipDots) {
    std::vector<String> names;
    FolderListing* listing = OpenFolderListing(path);
    if (!listing) return names;
    names.reserve(100);
    for (String entry; !(entry = NextFolderEntry(listing)).empty();) {
        if (skipDots && (entry == u"." || entry == u"..")) continue;
        names.push_back(entry);
    }
    CloseFolderListing(listing);
    return names;
}

namespace {

// The entry of `folder` whose name equals `name` ignoring A-Z case, joined to
// `prefix` with "/" (just the entry for an empty prefix); empty when none.
String FindEntryIgnoringCase(const String& folder, const String& name, const String& prefix) {
    String wanted = ToLowerAscii(name);
    for (const String& entry : ListFolder(folder, false)) {
        if (ToLowerAscii(entry) != wanted) continue;
        return prefix.empty() ? entry : prefix == u"/" ? prefix + entry : prefix + u'/' + entry;
    }
    return String();
}

} // namespace

String FindCasedPath(const String& path) {
    FileKind kind = Status(path).kind;
    if (kind == FileKind::Regular || kind == FileKind::Folder) return path;
    auto slash = path.size() >= 2 ? path.rfind(u'/', path.size() - 2) : String::npos;
    if (slash == String::npos) return FindEntryIgnoringCase(u".", path, String());
    if (slash == 0) return FindEntryIgnoringCase(u"/", path.substr(1), u"/");
    String prefix = FindCasedPath(path.substr(0, slash));
    if (prefix.empty()) return String();
    return FindEntryIgnoringCase(prefix, path.substr(slash + 1), prefix);
}

Ref<TStream> OpenSeekableStream(const Url& url, FileMode mode) {
    auto stream = OpenStream(url, mode);
    if (!stream || stream->Pos() != -1) return stream;
    auto bank = LoadBank(stream);
    return bank ? CreateBankStream(bank) : nullptr;
}

Ref<TStream> OpenSeekableRead(const Url& url) {
    return OpenSeekableStream(url, FileMode::Read);
}
Ref<TStream> OpenSeekableWrite(const Url& url) {
    return OpenSeekableStream(url, FileMode::Write);
}
bool CloseStream(const Ref<TStream>& stream) {
    return stream->Close();
}

} // namespace zandrel
