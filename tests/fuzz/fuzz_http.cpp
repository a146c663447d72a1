// An HTTP reply from a fuzzed byte stream standing in for the socket: its head
// is read as the "http" opener reads it, its status code taken from the status
// line, then the body to its end. The first
// byte sets how many bytes each read of the "socket" delivers at most.
#include "net/openers.hpp"

#include <zandrel/stream.hpp>

#include <algorithm>
#include <cstdint>
#include <cstring>

using namespace zandrel;

namespace {

// Unseekable like a socket, and delivering in pieces as recv does.
class PiecewiseStream : public TStream {
public:
    PiecewiseStream(const uint8_t* data, int size, int piece)
        : data_(data), size_(size), piece_(piece) {}

    bool Eof() override { return pos_ == size_; }
    int Read(void* buf, int count) override {
        int n = std::min({count, piece_, size_ - pos_});
        if (n <= 0) return 0;
        std::memcpy(buf, data_ + pos_, static_cast<size_t>(n));
        pos_ += n;
        return n;
    }
    int Consumed() const { return pos_; }

private:
    const uint8_t* data_;
    int size_;
    int piece_;
    int pos_ = 0;
};

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    StartStreamModule();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1 || size > (1u << 20)) return 0;
    int piece = data[0] + 1;
    PiecewiseStream stream(data + 1, static_cast<int>(size - 1), piece);
    String statusLine;
    if (!SkipReplyHead(stream, &statusLine)) return 0;
    int status = HttpStatusCode(statusLine);
    if (status < 0 || status > 999) __builtin_trap();
    // The head ends with an empty line and the body starts after it.
    int head = stream.Consumed();
    if (head > MaxReplyHeadBytes || head < 1 || data[head] != '\n') __builtin_trap();
    uint8_t body[4096];
    while (ReadUpTo(stream, body, sizeof body) > 0) {
    }
    return 0;
}
