#include "openers.hpp"

#include <algorithm>

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

} // namespace

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

} // namespace zandrel
