// The "tcp" and "http" stream openers, and the reading of an HTTP reply's
// head, kept over any stream so that it can be tried without a peer.
#pragma once

#include <zandrel/net.hpp>

#include <optional>

namespace zandrel {

class TTCPStreamOpener : public TStreamOpener {
public:
    Ref<TStream> TryOpen(const Url& url, const String& proto, const String& path,
                         FileMode mode) override;
};

class THTTPStreamOpener : public TStreamOpener {
public:
    Ref<TStream> TryOpen(const Url& url, const String& proto, const String& path,
                         FileMode mode) override;
};

struct HostAndPort {
    String host;
    int port = 0;
};

// "host" or "host:port" with a decimal port of 0-65535; no value for any
// other port text.
std::optional<HostAndPort> SplitHostPort(const String& text, int defaultPort);

// A reply line may hold this many bytes before its CR LF, and the whole head
// this many; more is refused rather than read without end.
constexpr int MaxReplyLineBytes = 64 * 1024;
constexpr int MaxReplyHeadBytes = 256 * 1024;

// Reads the status line and headers of an HTTP reply, up to and including the
// empty line that ends them, so that the stream is left at the body, and
// keeps the status line in `statusLine` when given. False when the data ends
// first, a line does not end in LF, or a limit is passed.
bool SkipReplyHead(TStream& stream, String* statusLine = nullptr);

// The code of a status line such as "HTTP/1.0 404 Not Found"; 0 when the
// line has none.
int HttpStatusCode(const String& statusLine);

// The body of an HTTP reply, which remembers the reply's status; the
// connection it reads from closes with it.
class THttpReplyStream : public TSocketStream {
public:
    THttpReplyStream(Ref<TSocketStream> connection, int status);
    bool Close() override;
    int Status() const { return status_; }

private:
    Ref<TSocketStream> connection_;
    int status_;
};
// As SkipReplyHead, but false too when the whole head has not come within
// `timeoutMs` (negative: no limit), however it trickles.
bool SkipReplyHeadWithin(TSocketStream& stream, int timeoutMs, String* statusLine = nullptr);

} // namespace zandrel
