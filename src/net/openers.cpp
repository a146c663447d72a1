#include "openers.hpp"

namespace zandrel {

namespace {

constexpr int DefaultPort = 80;

std::optional<int> ParsePort(const String& text) {
    if (text.empty()) return std::nullopt;
    int port = 0;
    for (char16_t c : text) {
        if (c < u'0' || c > u'9') return std::nullopt;
        port = port * 10 + (c - u'0');
        if (port > 65535) return std::nullopt;
    }
    return port;
}

bool HasControlCharacter(const String& text) {
    for (char16_t c : text)
        if (c < 32 || c == 127) return true;
    return false;
}

// The UTF-8 bytes of the text, one character per byte, as WriteLine sends
// them; spaces and bytes above 127 percent-encoded when asked, so that the
// request line keeps its three parts.
std::optional<String> RequestText(const String& text, bool percentEncode) {
    if (HasControlCharacter(text)) return std::nullopt;
    auto bytes = ToUtf8Exact(text);
    if (!bytes) return std::nullopt;
    if (!percentEncode) return FromBytes(*bytes);
    static const char hex[] = "0123456789ABCDEF";
    String encoded;
    for (unsigned char byte : *bytes) {
        if (byte == ' ' || byte > 127) {
            encoded += u'%';
            encoded += static_cast<char16_t>(hex[byte >> 4]);
            encoded += static_cast<char16_t>(hex[byte & 15]);
        } else {
            encoded += static_cast<char16_t>(byte);
        }
    }
    return encoded;
}

// Sends the request in one piece: a line at a time would wait on the peer's
// delayed acknowledgement between lines.
bool SendGetRequest(TStream& stream, const String& target, const String& hostLine) {
    auto request = CreateBankStream();
    request->WriteLine(u"GET " + target + u" HTTP/1.0");
    request->WriteLine(u"Host: " + hostLine);
    request->WriteLine(String());
    try {
        stream.WriteBytes(request->Bank()->Buf(), request->Size());
        return true;
    } catch (const TStreamError&) {
        return false;
    }
}

} // namespace

std::optional<HostAndPort> SplitHostPort(const String& text, int defaultPort) {
    auto colon = text.find(u':');
    if (colon == String::npos) return HostAndPort{text, defaultPort};
    auto port = ParsePort(text.substr(colon + 1));
    if (!port) return std::nullopt;
    return HostAndPort{text.substr(0, colon), *port};
}

Ref<TStream> TTCPStreamOpener::TryOpen(const Url&, const String& proto, const String& path,
                                       FileMode) {
    if (proto != u"tcp") return nullptr;
    auto address = SplitHostPort(path, DefaultPort);
    if (!address) return nullptr;
    return OpenTCPStream(address->host, address->port);
}

Ref<TStream> THTTPStreamOpener::TryOpen(const Url&, const String& proto, const String& path,
                                        FileMode) {
    if (proto != u"http") return nullptr;
    auto slash = path.find(u'/');
    String hostPart = path.substr(0, slash);
    String resource = slash == String::npos ? String(u"/") : path.substr(slash);
    auto address = SplitHostPort(hostPart, DefaultPort);
    auto target = RequestText(resource, true);
    auto hostLine = RequestText(hostPart, false);
    if (!address || !target || !hostLine) {
        SetLoadError(S("not an HTTP address: ") + path);
        return nullptr;
    }
    auto stream = OpenTCPStream(address->host, address->port);
    if (!stream) return nullptr;
    String statusLine;
    if (!SendGetRequest(*stream, *target, *hostLine) ||
        !SkipReplyHeadWithin(*stream, GetNetTimeouts().replyHeadMs, &statusLine)) {
        SetLoadError(S("no HTTP reply from ") + hostPart);
        stream->Close();
        return nullptr;
    }
    // An error page is still a body; the reason tells whoever finds it wanting.
    int status = HttpStatusCode(statusLine);
    if (status < 200 || status > 299)
        SetLoadError(u"HTTP " + statusLine.substr(statusLine.find(u' ') + 1));
    return New<THttpReplyStream>(stream, status);
}

} // namespace zandrel
