// Loopback peers for the net tests: every wait is bounded, so a fault shows
// as a failure, not a hung test.
#pragma once

#include <zandrel/net.hpp>

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <string>
#include <thread>

namespace zandrel::test {

constexpr int WaitMs = 5000;

// A listening socket on 127.0.0.1, on a port the system picks.
inline Ref<TSocket> ListenOnLoopback() {
    auto listener = CreateTCPSocket();
    EXPECT_TRUE(listener && listener->Bind(0, LoopbackIp) && listener->Listen(16));
    return listener;
}

// True once the socket has bytes (or its peer's close) to read.
inline bool WaitReadable(const Ref<TSocket>& socket, int timeoutMs = WaitMs) {
    std::vector<Ref<TSocket>> read{socket}, none;
    return SelectSockets(read, none, none, timeoutMs) == 1 && read[0];
}

inline bool SendAll(const Ref<TSocket>& socket, std::string_view bytes) {
    while (!bytes.empty()) {
        int sent = socket->Send(bytes.data(), static_cast<int>(bytes.size()));
        if (sent <= 0) return false;
        bytes.remove_prefix(static_cast<size_t>(sent));
    }
    return true;
}

// What arrives until `end` has arrived (included), the peer closes, or a wait
// runs out.
inline std::string ReceiveUntil(const Ref<TSocket>& socket, std::string_view end) {
    std::string got;
    char buf[4096];
    while (got.find(end) == std::string::npos && WaitReadable(socket)) {
        int n = socket->Recv(buf, sizeof buf);
        if (n <= 0) break;
        got.append(buf, static_cast<size_t>(n));
    }
    return got;
}

// Serves one connection on a thread: accepts within WaitMs, runs the handler
// and closes.
class OneShotServer {
public:
    explicit OneShotServer(std::function<void(const Ref<TSocket>&)> handler)
        : listener_(ListenOnLoopback()), port_(listener_->LocalPort()),
          thread_([this, handler = std::move(handler)] {
              if (auto peer = listener_->Accept(WaitMs)) {
                  handler(peer);
                  peer->Close();
              }
          }) {}
    ~OneShotServer() { thread_.join(); }

    int Port() const { return port_; }
    std::string Url(const char* proto, const std::string& rest = "") const {
        return std::string(proto) + "::127.0.0.1:" + std::to_string(port_) + rest;
    }

private:
    Ref<TSocket> listener_;
    int port_;
    std::thread thread_;
};

inline double SecondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

} // namespace zandrel::test
