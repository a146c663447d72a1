#include "openers.hpp"

#include <chrono>
#include <vector>

namespace zandrel {

namespace {

using Clock = std::chrono::steady_clock;

// Lends a socket stream's bytes until a deadline, then nothing: a peer that
// is silent or sends a byte now and then cannot hold the reader past it.
class TDeadlineSource : public TStream {
public:
    TDeadlineSource(TSocketStream& source, int timeoutMs)
        : source_(source), limited_(timeoutMs >= 0),
          deadline_(Clock::now() + std::chrono::milliseconds(limited_ ? timeoutMs : 0)) {}

    int Read(void* buf, int count) override {
        if (!source_.Socket()) return 0;
        std::vector<Ref<TSocket>> read{source_.Socket()}, none;
        if (SelectSockets(read, none, none, WaitLeft()) != 1) return 0;
        return source_.Read(buf, count);
    }

private:
    int WaitLeft() const {
        if (!limited_) return -1;
        auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline_ - Clock::now()).count();
        return left > 0 ? static_cast<int>(left) : 0;
    }

    TSocketStream& source_;
    bool limited_;
    Clock::time_point deadline_;
};

} // namespace

bool SkipReplyHeadWithin(TSocketStream& stream, int timeoutMs, String* statusLine) {
    TDeadlineSource source(stream, timeoutMs);
    return SkipReplyHead(source, statusLine);
}

THttpReplyStream::THttpReplyStream(Ref<TSocketStream> connection, int status)
    : connection_(std::move(connection)), status_(status) {
    socket_ = connection_->Socket();
    readTimeout_ = GetNetTimeouts().readIdleMs;
}

bool THttpReplyStream::Close() {
    connection_->Close();
    return TSocketStream::Close();
}

int HttpStatus(const Ref<TStream>& stream) {
    auto reply = std::dynamic_pointer_cast<THttpReplyStream>(stream);
    return reply ? reply->Status() : 0;
}

} // namespace zandrel
