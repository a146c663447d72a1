#include "net_test_support.hpp"

#ifdef _WIN32
#include <ws2tcpip.h>
#else
#include <netdb.h>
#include <pthread.h>
#include <signal.h>
#endif

#include <atomic>
#include <cstdio>

using namespace zandrel;
using namespace zandrel::test;

namespace {

struct Pair {
    Ref<TSocket> client, server;
};

Pair ConnectPair(const Ref<TSocket>& listener) {
    Pair pair;
    pair.client = CreateTCPSocket();
    EXPECT_TRUE(pair.client->Connect(LoopbackIp, listener->LocalPort()));
    pair.server = listener->Accept(WaitMs);
    EXPECT_TRUE(pair.server);
    return pair;
}

} // namespace

TEST(Socket, ConnectionCarriesDataBothWaysAndEndsAtPeerClose) {
    auto listener = ListenOnLoopback();
    EXPECT_EQ(listener->LocalIp(), LoopbackIp);
    EXPECT_GT(listener->LocalPort(), 0);
    auto [client, server] = ConnectPair(listener);
    ASSERT_TRUE(server);
    EXPECT_EQ(client->RemoteIp(), LoopbackIp);
    EXPECT_EQ(client->RemotePort(), listener->LocalPort());
    EXPECT_EQ(server->RemoteIp(), LoopbackIp);
    EXPECT_EQ(server->RemotePort(), client->LocalPort());
    client->SetTCPNoDelay(true);

    EXPECT_TRUE(SendAll(client, "ping"));
    EXPECT_EQ(ReceiveUntil(server, "ping"), "ping");
    EXPECT_TRUE(SendAll(server, "pong and more\n"));
    ASSERT_TRUE(WaitReadable(client));
    char peek[4] = {};
    EXPECT_EQ(client->Recv(peek, 4, SocketFlags::Peek), 4);
    EXPECT_EQ(client->ReadAvail(), 14);

    auto stream = CreateSocketStream(client, true);
    EXPECT_EQ(stream->Pos(), -1);
    EXPECT_EQ(stream->Seek(0), -1);
    EXPECT_FALSE(stream->Eof());
    EXPECT_EQ(stream->ReadLine(), u"pong and more");
    // A short read at the peer's close is silent, and the stream then ends.
    EXPECT_TRUE(SendAll(server, "tail"));
    server->Close();
    char rest[8] = {};
    EXPECT_EQ(stream->ReadBytes(rest, 8), 8);
    EXPECT_STREQ(rest, "tail");
    EXPECT_TRUE(stream->Eof());
    EXPECT_FALSE(stream->Socket());
    EXPECT_EQ(client->Handle(), -1);
    EXPECT_EQ(stream->Read(peek, 4), 0);
}

TEST(Socket, ClosedOrInvalidSocketsRefuse) {
    auto socket = CreateTCPSocket();
    ASSERT_TRUE(socket);
    EXPECT_GE(socket->Handle(), 0);
    EXPECT_EQ(socket->LocalPort(), 0);
    EXPECT_FALSE(socket->Bind(65536));
    EXPECT_FALSE(socket->Bind(-1));
    EXPECT_FALSE(socket->Connect(LoopbackIp, 70000));
    socket->Close();
    socket->Close();
    char buf[4] = {};
    EXPECT_EQ(socket->Handle(), -1);
    EXPECT_EQ(socket->LocalIp(), NoIp);
    EXPECT_EQ(socket->RemotePort(), -1);
    EXPECT_EQ(socket->Send(buf, 4), 0);
    EXPECT_EQ(socket->Recv(buf, 4), 0);
    EXPECT_FALSE(socket->Connected());
    EXPECT_FALSE(socket->Bind(0));
    EXPECT_FALSE(socket->Listen(1));
    EXPECT_FALSE(socket->Accept(0));
    EXPECT_EQ(socket->ReadAvail(), 0);
    EXPECT_FALSE(TSocket::Create(-1, true));

    // A socket made over a handle it does not own leaves the handle open.
    auto owner = CreateUDPSocket();
    TSocket::Create(owner->Handle(), false)->Close();
    EXPECT_TRUE(owner->Bind(0, LoopbackIp));
}

TEST(Socket, RefusedConnectionAndGonePeer) {
    // A port that was just listened on and closed refuses connections.
    auto listener = ListenOnLoopback();
    int port = listener->LocalPort();
    auto [client, server] = ConnectPair(listener);
    ASSERT_TRUE(server);
    listener->Close();
    EXPECT_FALSE(CreateTCPSocket()->Connect(LoopbackIp, port));
    EXPECT_FALSE(OpenTCPStream(u"127.0.0.1", port));

    // Writing to a peer that has gone fails with 0 instead of SIGPIPE.
    server->Close();
    std::string block(64 * 1024, 'x');
    int sent = 1;
    for (int i = 0; i < 1000 && sent > 0; ++i)
        sent = client->Send(block.data(), static_cast<int>(block.size()));
    EXPECT_EQ(sent, 0);
    EXPECT_THROW(CreateSocketStream(client, true)->WriteBytes(block.data(), 10), TStreamWriteError);
}

// Signals interrupt waits on POSIX only.
#ifndef _WIN32
TEST(Socket, AcceptWaitsItsTimeoutEvenUnderSignals) {
    struct sigaction action = {}, old = {};
    action.sa_handler = [](int) {};
    sigaction(SIGUSR1, &action, &old);
    auto listener = ListenOnLoopback();
    std::atomic<bool> waiting = true;
    pthread_t waiter = pthread_self();
    std::thread interrupter([&] {
        while (waiting) {
            pthread_kill(waiter, SIGUSR1);
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    });
    auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(listener->Accept(300));
    double waited = SecondsSince(start);
    waiting = false;
    interrupter.join();
    sigaction(SIGUSR1, &old, nullptr);
    EXPECT_GE(waited, 0.295);
    EXPECT_LT(waited, 3.0);
}
#endif // !_WIN32

TEST(Socket, SelectKeepsOnlyReadySockets) {
    auto listener = ListenOnLoopback();
    auto quiet = ConnectPair(listener);
    auto busy = ConnectPair(listener);
    ASSERT_TRUE(quiet.server && busy.server);
    EXPECT_TRUE(SendAll(busy.client, "x"));

    std::vector<Ref<TSocket>> read{quiet.server, nullptr, busy.server}, write{quiet.client},
        error{quiet.server};
    EXPECT_EQ(SelectSockets(read, write, error, WaitMs), 2);
    EXPECT_EQ(read, (std::vector<Ref<TSocket>>{nullptr, nullptr, busy.server}));
    EXPECT_EQ(write, std::vector<Ref<TSocket>>{quiet.client});
    EXPECT_EQ(error, std::vector<Ref<TSocket>>{nullptr});

    std::vector<Ref<TSocket>> nothing{quiet.server}, none;
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(SelectSockets(nothing, none, none, 50), 0);
    EXPECT_GE(SecondsSince(start), 0.045);
    EXPECT_FALSE(nothing[0]);
    EXPECT_TRUE(Connected(quiet.server));
}

TEST(Socket, UdpSocketsExchangeDatagrams) {
    auto a = CreateUDPSocket(), b = CreateUDPSocket();
    ASSERT_TRUE(a && b);
    ASSERT_TRUE(a->Bind(0, LoopbackIp) && b->Bind(0, LoopbackIp));
    ASSERT_TRUE(b->Connect(LoopbackIp, a->LocalPort()));
    ASSERT_TRUE(a->Connect(LoopbackIp, b->LocalPort()));
    EXPECT_EQ(b->Send("hello", 5), 5);
    ASSERT_TRUE(WaitReadable(a));
    char buf[16] = {};
    EXPECT_EQ(a->Recv(buf, sizeof buf), 5);
    EXPECT_STREQ(buf, "hello");
    EXPECT_EQ(a->Send("back", 4), 4);
    ASSERT_TRUE(WaitReadable(b));
    EXPECT_EQ(b->Recv(buf, sizeof buf), 4);
}

namespace {

bool SystemResolvesLocalhost() {
    addrinfo hints{};
    hints.ai_family = AF_INET;
    addrinfo* found = nullptr;
    if (getaddrinfo("localhost", nullptr, &hints, &found) != 0) return false;
    freeaddrinfo(found);
    return true;
}

} // namespace

TEST(HostNames, LookupsAndDottedForms) {
    struct Dotted {
        uint32_t ip;
        const char16_t* text;
    };
    for (auto [ip, text] :
         {Dotted{0xC0A80001, u"192.168.0.1"}, Dotted{0, u"0.0.0.0"},
          Dotted{0xFFFFFFFF, u"255.255.255.255"}, Dotted{LoopbackIp, u"127.0.0.1"}})
        EXPECT_EQ(DottedIP(ip), text);

    EXPECT_EQ(HostIp(u"10.1.2.3"), 0x0A010203u);
    EXPECT_EQ(HostIps(u"127.0.0.1"), std::vector<uint32_t>{LoopbackIp});
    // A bare system root (a fresh container, a build chroot) may have no
    // hosts file, and then no name for the loopback address at all.
    if (SystemResolvesLocalhost()) {
        EXPECT_EQ(HostIp(u"localhost"), LoopbackIp);
        EXPECT_EQ(HostName(LoopbackIp).substr(0, 9), u"localhost");
    } else {
        std::printf("the system does not resolve localhost: its lookups not checked\n");
    }
    struct Unresolved {
        String name;
        int index;
    };
    for (const auto& [name, index] : {Unresolved{u"localhost", -1}, Unresolved{u"localhost", 1},
                                      Unresolved{u"no-such-host.invalid", 0}, Unresolved{u"", 0},
                                      Unresolved{String(u"local\xD800host"), 0},
                                      Unresolved{String(u"localhost\0.invalid", 18), 0}}) {
        EXPECT_EQ(HostIp(name, index), 0u);
    }
    EXPECT_TRUE(HostIps(u"no-such-host.invalid").empty());
    EXPECT_FALSE(OpenTCPStream(u"no-such-host.invalid", 80));
}
