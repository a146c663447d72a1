// Streams built for the tests: a byte source with controllable behaviour.
#pragma once

#include <zandrel/stream.hpp>

#include <vector>

namespace zandrel::test {

// Delivers its bytes at most `chunk` at a time. Without a position it is not
// seekable; `stallAt` makes Read deliver nothing from that offset on while
// the stream still claims not to be at its end.
class ScriptedSource : public TStream {
public:
    ScriptedSource(std::vector<uint8_t> bytes, int chunk, bool seekable = true, int stallAt = -1)
        : bytes_(std::move(bytes)), chunk_(chunk), seekable_(seekable), stallAt_(stallAt) {}

    bool Eof() override { return stallAt_ < 0 && pos_ == static_cast<int>(bytes_.size()); }
    int Pos() override { return seekable_ ? pos_ : -1; }
    int Size() override { return seekable_ ? static_cast<int>(bytes_.size()) : 0; }
    int Read(void* buf, int count) override {
        int left = static_cast<int>(bytes_.size()) - pos_;
        if (stallAt_ >= 0 && pos_ >= stallAt_) return 0;
        int n = std::min({count, chunk_, left});
        if (stallAt_ >= 0) n = std::min(n, stallAt_ - pos_);
        std::copy_n(bytes_.data() + pos_, n, static_cast<uint8_t*>(buf));
        pos_ += n;
        return n;
    }
    bool Close() override {
        ++closes;
        return true;
    }

    int closes = 0;

private:
    std::vector<uint8_t> bytes_;
    int chunk_;
    bool seekable_;
    int stallAt_;
    int pos_ = 0;
};

inline std::vector<uint8_t> BankBytes(const Ref<TBank>& bank) {
    return std::vector<uint8_t>(bank->Buf(), bank->Buf() + bank->Size());
}

} // namespace zandrel::test
