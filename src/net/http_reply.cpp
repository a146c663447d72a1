#include "openers.hpp"

#include <algorithm>
#include <chrono>

namespace zandrel {

namespace {

// Lends another stream's bytes to ReadLine, at most a budget of them per
// line, and remembers the last byte so that a line that really ended can be
// told from one cut short.
class TBoundedLineSource : public TStream {
public:
    explicit TBoundedLineSource(TStream& source) : source_(source) {}

    // The next line if it ends in LF within `limit` bytes.
    std::optional<String> NextLine(int limit) {
        budget_ = limit;
        lastByte_ = -1;
        String line = ReadLine();
        if (lastByte_ != '\n') return std::nullopt;
        return line;
    }

    int Read(void* buf, int count) override {
        int n = budget_ > 0 ? source_.Read(buf, std::min(count, budget_)) : 0;
        if (n <= 0) return 0;
        budget_ -= n;
        used_ += n;
        lastByte_ = static_cast<uint8_t*>(buf)[n - 1];
        return n;
    }

    int Used() const { return used_; }

private:
    TStream& source_;
    int budget_ = 0;
    int used_ = 0;
    int lastByte_ = -1;
};

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

bool SkipReplyHead(TStream& stream, String* statusLine) {
    TBoundedLineSource source(stream);
    for (bool first = true;; first = false) {
        int limit = std::min(MaxReplyLineBytes + 2, MaxReplyHeadBytes - source.Used());
        auto line = source.NextLine(limit);
        if (!line || line->size() > MaxReplyLineBytes) return false;
        if (line->empty()) return true;
        if (first && statusLine) *statusLine = *line;
    }
}

int HttpStatusCode(const String& statusLine) {
    auto space = statusLine.find(u' ');
    if (statusLine.rfind(u"HTTP/", 0) != 0 || space == String::npos) return 0;
    int code = 0;
    for (size_t i = space + 1; i < space + 4; ++i) {
        if (i >= statusLine.size() || statusLine[i] < u'0' || statusLine[i] > u'9') return 0;
        code = code * 10 + (statusLine[i] - u'0');
    }
    return code;
}

THttpReplyStream::THttpReplyStream(Ref<TSocketStream> connection, int status)
    : connection_(std::move(connection)), status_(status) {
    socket_ = connection_->Socket();
    readTimeout_ = GetNetTimeouts().readIdleMs;
}

int THttpReplyStream::Close() {
    connection_->Close();
    return TSocketStream::Close();
}

int HttpStatus(const Ref<TStream>& stream) {
    auto reply = std::dynamic_pointer_cast<THttpReplyStream>(stream);
    return reply ? reply->Status() : 0;
}

} // namespace zandrel
