#include "fs_native.hpp"

#include <exception>
#include <optional>

namespace zandrel {

namespace {

// The name handed to the system, converted as TFileStream::OpenPath converts
// it; no value when the path cannot be a name (ToOsName).
std::optional<std::string> SystemName(String path) {
    for (auto& c : path)
        if (c == u'\\') c = u'/';
    return ToOsName(path);
}

// Writes into a new file beside the target; Close puts it in the target's
// place once all of it is on the disk.
class TSaveStream : public TStream {
public:
    TSaveStream(Ref<TFileStream> file, std::string temporary, std::string target)
        : file_(std::move(file)), temporary_(std::move(temporary)), target_(std::move(target)) {}
    ~TSaveStream() override {
        if (!done_) Abandon();
    }

    bool Eof() override { return file_->Eof(); }
    int Pos() override { return file_->Pos(); }
    int Size() override { return file_->Size(); }
    int Seek(int pos) override { return file_->Seek(pos); }
    bool Flush() override { return file_->Flush(); }
    int Read(void* buf, int count) override { return file_->Read(buf, count); }
    int Write(const void* buf, int count) override { return file_->Write(buf, count); }
    bool Close() override;

private:
    void Abandon();

    Ref<TFileStream> file_;
    std::string temporary_, target_;
    bool done_ = false;
    // A Close that runs while an exception leaves the writer (a wrapping
    // stream's destructor) must not put half a file in place.
    int unwinding_ = std::uncaught_exceptions();
};

bool TSaveStream::Close() {
    if (done_) return true;
    if (std::uncaught_exceptions() > unwinding_) {
        Abandon();
        return false;
    }
    done_ = true;
    bool saved = native::SyncToDisk(file_->File());
    saved = file_->Close() && saved;
    saved = saved && native::RenameOver(temporary_, target_);
    if (!saved) native::RemoveFileEntry(temporary_);
    if (saved) native::AfterWholeSave(target_);
    return saved;
}

void TSaveStream::Abandon() {
    done_ = true;
    file_->Close();
    native::RemoveFileEntry(temporary_);
}

} // namespace

Ref<TStream> OpenSaveStream(const Url& url) {
    const String& text = url.Text();
    if (url.AsObject() || text.empty() || text.find(u"::") != String::npos)
        return OpenWriteStream(url);
    auto name = SystemName(text);
    if (!name) return nullptr;
    std::string target = native::FollowLinks(*name);
    if (target.empty()) return nullptr;
    native::FileStatus status;
    if (native::StatPath(target, status)) {
        // A device or a pipe is written where it is; a folder fails to open.
        if (status.kind != FileKind::Regular) return OpenWriteStream(url);
        if (!native::MayWrite(target)) return nullptr;
    }
    std::string temporary;
    FILE* file = native::CreateFileBeside(target, temporary);
    if (!file) return nullptr;
    return New<TSaveStream>(TFileStream::WrapCFile(file, FileMode::Write), std::move(temporary),
                            std::move(target));
}

} // namespace zandrel
