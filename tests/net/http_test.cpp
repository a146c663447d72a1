#include "net/openers.hpp"
#include "net_test_support.hpp"

using namespace zandrel;
using namespace zandrel::test;
using namespace std::string_literals;

namespace {

std::string Pattern(size_t size) {
    std::string bytes(size, '\0');
    for (size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<char>(i * 131 + (i >> 12));
    return bytes;
}

// Reads the request, then runs `reply` on the connection.
std::function<void(const Ref<TSocket>&)>
AfterRequest(std::string* request, std::function<void(const Ref<TSocket>&)> reply) {
    return [request, reply](const Ref<TSocket>& peer) {
        std::string got = ReceiveUntil(peer, "\r\n\r\n");
        if (request) *request = got;
        reply(peer);
    };
}

Ref<TStream> OpenUtf8(const std::string& url) {
    return OpenReadStream(S(url));
}

} // namespace

TEST(HttpOpener, SendsTheRequestAndReturnsTheBody) {
    struct Case {
        std::string path;
        std::string target;
        std::string head;
        size_t bodySize;
    };
    const Case cases[] = {
        {"/a/b.txt", "/a/b.txt", "HTTP/1.0 200 OK\r\nContent-Type: text/plain\r\n\r\n", 10 << 20},
        {"", "/", "HTTP/1.0 200 OK\n\n", 0},
        {"/gone", "/gone", "HTTP/1.0 404 Not Found\r\n\r\n", 300},
        {"/a b/\xC3\xA9", "/a%20b/%C3%A9", "HTTP/1.0 200 OK\r\n\r\n", 5},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        std::string request, body = Pattern(c.bodySize);
        OneShotServer server(AfterRequest(
            &request, [&](const Ref<TSocket>& peer) { SendAll(peer, c.head + body); }));
        auto stream = OpenUtf8(server.Url("http", c.path));
        ASSERT_TRUE(stream);
        ByteArray got = LoadBytes(stream);
        EXPECT_TRUE(stream->Eof());
        stream->Close();
        EXPECT_EQ(request, "GET " + c.target + " HTTP/1.0\r\nHost: 127.0.0.1:" +
                               std::to_string(server.Port()) + "\r\n\r\n");
        EXPECT_EQ(std::string(got.begin(), got.end()), body);
    }
}

// "http://" is the same as "http::"; the status stays readable, an error page
// is still the body, and the reason names the status.
TEST(HttpOpener, SchemeFormStatusAndReason) {
    struct Case {
        const char* proto;
        std::string head;
        int status;
        const char16_t* reason;
    };
    const Case cases[] = {
        {"http://", "HTTP/1.0 200 OK\r\n\r\n", 200, u""},
        {"HTTP://", "HTTP/1.1 404 Not Found\r\n\r\n", 404, u"HTTP 404 Not Found"},
        {"http://", "HTTP/1.1 404 Not Found\r\nContent-Type: text/html\r\n\r\n", 404,
         u"HTTP 404 Not Found"},
        {"http::", "HTTP/1.0 500 Oops\r\n\r\n", 500, u"HTTP 500 Oops"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.head);
        OneShotServer server(AfterRequest(
            nullptr, [&](const Ref<TSocket>& peer) { SendAll(peer, c.head + "page"); }));
        auto stream = OpenUtf8(c.proto + ("127.0.0.1:" + std::to_string(server.Port()) + "/x"));
        ASSERT_TRUE(stream);
        EXPECT_EQ(HttpStatus(stream), c.status);
        EXPECT_EQ(LastLoadError(), c.reason);
        ByteArray body = LoadBytes(stream);
        EXPECT_EQ(std::string(body.begin(), body.end()), "page");
    }
    EXPECT_EQ(HttpStatus(CreateBankStream()), 0);
    EXPECT_FALSE(OpenUtf8("http::no-such-host.invalid/a"));
    EXPECT_EQ(LastLoadError(), u"unknown host 'no-such-host.invalid'");
}

// The peer's close comes after the last line has been read: the loop must
// end there rather than read an empty line at the close.
TEST(HttpOpener, LineLoopEndsAtThePeersCloseWithoutAnExtraLine) {
    OneShotServer server(AfterRequest(nullptr, [](const Ref<TSocket>& peer) {
        SendAll(peer, "HTTP/1.0 200 OK\r\n\r\none\ntwo\n");
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }));
    auto stream = OpenUtf8(server.Url("http", "/"));
    ASSERT_TRUE(stream);
    std::vector<String> lines;
    while (!stream->Eof() && lines.size() < 5)
        lines.push_back(stream->ReadLine());
    EXPECT_EQ(lines, (std::vector<String>{u"one", u"two"}));
}

TEST(HttpOpener, HostileRepliesGiveNoStreamInBoundedTime) {
    const std::string filler = "X-Filler: " + std::string(1012, 'a') + "\r\n";
    struct Case {
        const char* name;
        std::function<void(const Ref<TSocket>&)> reply;
    };
    const Case cases[] = {
        {"endless head",
         [&](const Ref<TSocket>& peer) {
             SendAll(peer, "HTTP/1.0 200 OK\r\n");
             for (int i = 0; i < 65536 && SendAll(peer, filler); ++i) {
             }
         }},
        {"long line",
         [](const Ref<TSocket>& peer) {
             SendAll(peer, "HTTP/1.0 200 OK\r\nX: " + std::string(70000, 'a') + "\r\n\r\nbody");
         }},
        {"head too large",
         [&](const Ref<TSocket>& peer) {
             std::string head = "HTTP/1.0 200 OK\r\n";
             for (int i = 0; i < 300; ++i)
                 head += filler;
             SendAll(peer, head + "\r\nbody");
         }},
        {"ends inside the head",
         [](const Ref<TSocket>& peer) { SendAll(peer, "HTTP/1.0 200 OK\r\nX: y\r\n"); }},
        {"no reply", [](const Ref<TSocket>&) {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        OneShotServer server(AfterRequest(nullptr, c.reply));
        auto start = std::chrono::steady_clock::now();
        EXPECT_FALSE(OpenUtf8(server.Url("http", "/")));
        EXPECT_LT(SecondsSince(start), 30.0);
    }
}

TEST(HttpOpener, ReplyHeadLimits) {
    auto lines = [](int count, int size) {
        std::string head;
        for (int i = 0; i < count; ++i)
            head += std::string(static_cast<size_t>(size - 2), 'h') + "\r\n";
        return head;
    };
    const std::string longest(MaxReplyLineBytes, 'a');
    struct Case {
        std::string bytes;
        bool accepted;
        int bodyLeft;
    };
    const Case cases[] = {
        {"HTTP/1.0 200 OK\r\nA: b\r\n\r\nBODY", true, 4},
        {"HTTP/1.0 200 OK\n\n\n", true, 1},
        {"", false, 0},
        {"HTTP/1.0 200 OK\r\nA: b\r\n", false, 0},
        {"HTTP/1.0 200 OK\r\nA\0\r\n\r\n"s, false, 0},
        {longest + "\r\n\r\nB", true, 1},
        {longest + "a\r\n\r\nB", false, 0},
        {lines(255, 1024) + "\r\nB", true, 1},
        {lines(256, 1024) + "\r\nB", false, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.bytes.substr(0, 40));
        std::string bytes = c.bytes;
        auto stream =
            CreateMemoryStream(bytes.data(), static_cast<int>(bytes.size()), FileMode::Read);
        EXPECT_EQ(SkipReplyHead(*stream), c.accepted);
        if (c.accepted) {
            EXPECT_EQ(stream->Size() - stream->Pos(), c.bodyLeft);
        }
    }
}

TEST(StreamOpeners, TcpConnectsToTheGivenPort) {
    for (const char* proto : {"tcp", "TCP"}) {
        OneShotServer server(
            [](const Ref<TSocket>& peer) { SendAll(peer, ReceiveUntil(peer, "\n")); });
        auto stream = OpenUtf8(server.Url(proto));
        ASSERT_TRUE(stream);
        EXPECT_TRUE(stream->WriteLine(u"echo"));
        EXPECT_EQ(stream->ReadLine(), u"echo");
    }
}

TEST(StreamOpeners, MalformedPathsGiveNoStream) {
    auto listener = ListenOnLoopback();
    String port = FromInt(listener->LocalPort());
    for (String url :
         {u"tcp::"s, u"tcp:::"s, u"tcp:::99999"s, u"tcp::127.0.0.1:99999"s, u"tcp::127.0.0.1:"s,
          u"tcp::127.0.0.1:x"s, u"tcp::127.0.0.1:-1"s, u"tcp::127.0.0.1:+80"s,
          u"tcp::no-such-host.invalid"s, u"http::"s, u"http::/a"s, u"http:::"s, u"http:::99999"s,
          u"http::127.0.0.1:99999/a"s, u"http::127.0.0.1:8o/a"s, u"http::no-such-host.invalid/a"s,
          // Text that would end the request line early never reaches the server.
          u"http::127.0.0.1:"s + port + u"/a\r\nX: y", u"http::127.0.0.1:"s + port + u"/\xD800"}) {
        SCOPED_TRACE(ToUtf8(url));
        EXPECT_FALSE(OpenReadStream(url));
    }
    EXPECT_FALSE(listener->Accept(0));

    struct Split {
        const char16_t* text;
        bool valid;
        const char16_t* host;
        int port;
    };
    for (auto [text, valid, host, port] :
         {Split{u"host", true, u"host", 80}, Split{u"host:8080", true, u"host", 8080},
          Split{u"h:0", true, u"h", 0}, Split{u"h:065535", true, u"h", 65535},
          Split{u"h:65536", false, u"", 0}, Split{u":", false, u"", 0}}) {
        SCOPED_TRACE(ToUtf8(text));
        auto split = SplitHostPort(text, 80);
        ASSERT_EQ(split.has_value(), valid);
        if (!valid) continue;
        EXPECT_EQ(split->host, host);
        EXPECT_EQ(split->port, port);
    }
}

namespace {

// Short limits for the time-out tests, each its own so that a call waiting
// on the wrong one shows; the defaults back afterwards.
constexpr NetTimeouts shortLimits{300, 400, 500};
class ShortNetTimeouts {
public:
    ShortNetTimeouts() : saved_(GetNetTimeouts()) { SetNetTimeouts(shortLimits); }
    ~ShortNetTimeouts() { SetNetTimeouts(saved_); }

private:
    NetTimeouts saved_;
};

// Holds the connection open until the client leaves or a wait runs out.
void HoldUntilClientLeaves(const Ref<TSocket>& peer) {
    char byte;
    while (WaitReadable(peer) && peer->Recv(&byte, 1) == 1) {
    }
}

// A call that gave up on its limit: after it, not at once, nor long after.
void ExpectGaveUpAfter(int limitMs, std::chrono::steady_clock::time_point start) {
    double waited = SecondsSince(start);
    EXPECT_GE(waited, (limitMs - 5) / 1000.0);
    EXPECT_LT(waited, 2.0);
}

} // namespace

TEST(NetTimeouts, SilentOrSlowPeersFailWithinTheLimits) {
    ShortNetTimeouts limits;
    struct Case {
        const char* name;
        std::function<void(const Ref<TSocket>&)> reply;
    };
    const Case cases[] = {
        {"silent", HoldUntilClientLeaves},
        {"trickling head",
         [](const Ref<TSocket>& peer) {
             SendAll(peer, "HTTP/1.0 200 OK\r\n");
             for (int i = 0; i < 50 && SendAll(peer, "X"); ++i)
                 std::this_thread::sleep_for(std::chrono::milliseconds(100));
         }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        OneShotServer server(AfterRequest(nullptr, c.reply));
        auto start = std::chrono::steady_clock::now();
        EXPECT_FALSE(OpenUtf8(server.Url("http", "/")));
        ExpectGaveUpAfter(shortLimits.replyHeadMs, start);
    }

    // A body that stops half-way with the connection left open.
    OneShotServer server(AfterRequest(nullptr, [](const Ref<TSocket>& peer) {
        SendAll(peer, "HTTP/1.0 200 OK\r\n\r\nhalf");
        HoldUntilClientLeaves(peer);
    }));
    auto stream = OpenUtf8(server.Url("http", "/"));
    ASSERT_TRUE(stream);
    char body[8];
    auto start = std::chrono::steady_clock::now();
    EXPECT_THROW(stream->ReadBytes(body, sizeof body), TStreamReadError);
    ExpectGaveUpAfter(shortLimits.readIdleMs, start);
    stream->Close();
}

TEST(NetTimeouts, UnansweredConnectionFailsWithinTheLimit) {
    // A listener whose queue is full drops new connection requests unanswered.
    auto listener = CreateTCPSocket();
    ASSERT_TRUE(listener->Bind(0, LoopbackIp) && listener->Listen(0));
    std::vector<Ref<TSocket>> queued;
    for (int i = 0; i < 8; ++i) {
        queued.push_back(CreateTCPSocket());
        if (!queued.back()->Connect(LoopbackIp, listener->LocalPort(), 200)) break;
    }
    ShortNetTimeouts limits;
    for (const char* proto : {"tcp", "http"}) {
        SCOPED_TRACE(proto);
        auto start = std::chrono::steady_clock::now();
        EXPECT_FALSE(
            OpenUtf8(std::string(proto) + "::127.0.0.1:" + std::to_string(listener->LocalPort())));
        ExpectGaveUpAfter(shortLimits.connectMs, start);
    }
}
