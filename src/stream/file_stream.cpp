#include "fs_native.hpp"

#include <zandrel/stream.hpp>

#include <cerrno>
#include <cstring>

namespace zandrel {

// Dropped without Close (an exception on its way): the file is closed, and a
// failure has nobody left to report to.
TFileStream::~TFileStream() {
    Close();
}

int TFileStream::Seek(int pos) {
    if (!file_) return -1;
    std::fseek(file_, pos, SEEK_SET);
    pos_ = static_cast<int>(std::ftell(file_));
    return pos_;
}

// Small writes wait in the C runtime's buffer, so a full disk or a failing
// device is often noticed only here and in Close.
bool TFileStream::Flush() {
    return !file_ || std::fflush(file_) == 0;
}

bool TFileStream::Close() {
    if (!file_) return true;
    bool flushed = std::fflush(file_) == 0;
    bool closed = std::fclose(file_) == 0;
    pos_ = 0;
    size_ = 0;
    file_ = nullptr;
    return flushed && closed;
}

int TFileStream::Read(void* buf, int count) {
    if (!file_ || count <= 0) return 0;
    int n = static_cast<int>(std::fread(buf, 1, static_cast<size_t>(count), file_));
    pos_ += n;
    return n;
}

int TFileStream::Write(const void* buf, int count) {
    if (!file_ || count <= 0) return 0;
    int n = static_cast<int>(std::fwrite(buf, 1, static_cast<size_t>(count), file_));
    pos_ += n;
    if (pos_ > size_) size_ = pos_;
    return n;
}

namespace {

String OpenFailure(int error) {
    switch (error) {
    case ENOENT:
        return S("no such file");
    case EACCES:
        return S("permission denied");
    case EISDIR:
        return S("is a folder");
    default:
        return FromUtf8(std::strerror(error));
    }
}

} // namespace

Ref<TFileStream> TFileStream::OpenPath(const String& path, FileMode mode) {
    String name = path;
    for (auto& c : name)
        if (c == u'\\') c = u'/';
    static const char* const modeText[] = {"", "rb", "wb", "r+b"};
    auto osName = ToOsName(name);
    if (!osName) {
        SetLoadError(S("not a possible file name"));
        return nullptr;
    }
    FILE* file = native::OpenFile(*osName, modeText[ToNumber(mode)]);
    if (!file) {
        SetLoadError(OpenFailure(errno));
        return nullptr;
    }
    return WrapCFile(file, mode);
}

Ref<TFileStream> TFileStream::WrapCFile(FILE* file, FileMode mode) {
    auto stream = New<TFileStream>();
    stream->file_ = file;
    stream->pos_ = static_cast<int>(std::ftell(file));
    std::fseek(file, 0, SEEK_END);
    stream->size_ = static_cast<int>(std::ftell(file));
    std::fseek(file, stream->pos_, SEEK_SET);
    stream->mode_ = mode;
    return stream;
}

} // namespace zandrel
