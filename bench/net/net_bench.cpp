// Socket streams against plain POSIX socket calls on the same loopback set-up:
// read throughput in 64 KiB blocks, and connections made and closed.
#include <benchmark/benchmark.h>
#include <zandrel/net.hpp>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

using namespace zandrel;

namespace {

constexpr int blockSize = 64 * 1024;
constexpr int64_t transferSize = 256 << 20;

sockaddr_in LoopbackAddress(int port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<uint16_t>(port));
    return address;
}

// A listening socket on 127.0.0.1 served by a thread of plain POSIX calls.
class Server {
public:
    // `serve` runs on each accepted connection, which is closed after it.
    explicit Server(void (*serve)(int)) : serve_(serve) {
        listener_ = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address = LoopbackAddress(0);
        socklen_t size = sizeof address;
        bind(listener_, reinterpret_cast<sockaddr*>(&address), size);
        listen(listener_, 128);
        getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &size);
        port_ = ntohs(address.sin_port);
        thread_ = std::thread([this] {
            for (;;) {
                int peer = accept(listener_, nullptr, nullptr);
                if (stopping_) break;
                if (peer < 0) continue;
                serve_(peer);
                close(peer);
            }
        });
    }
    ~Server() {
        stopping_ = true;
        close(Connect());
        thread_.join();
        close(listener_);
    }

    int Port() const { return port_; }
    int Connect() const {
        int handle = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address = LoopbackAddress(port_);
        connect(handle, reinterpret_cast<sockaddr*>(&address), sizeof address);
        return handle;
    }

private:
    void (*serve_)(int);
    int listener_ = -1;
    int port_ = 0;
    std::atomic<bool> stopping_ = false;
    std::thread thread_;
};

void SendTransfer(int peer) {
    std::vector<char> block(blockSize, 'z');
    for (int64_t left = transferSize; left > 0;) {
        ssize_t sent = send(peer, block.data(), blockSize, MSG_NOSIGNAL);
        if (sent <= 0) return;
        left -= sent;
    }
}

void CloseAtOnce(int) {}

void PlainRecvBlocks(benchmark::State& state) {
    Server server(SendTransfer);
    std::vector<char> buf(blockSize);
    for (auto _ : state) {
        int handle = server.Connect();
        int64_t received = 0;
        for (ssize_t n; (n = recv(handle, buf.data(), blockSize, 0)) > 0; received += n)
            benchmark::DoNotOptimize(buf.data());
        close(handle);
        if (received != transferSize) state.SkipWithError("the transfer ended early");
    }
    state.SetBytesProcessed(state.iterations() * transferSize);
}

void SocketStreamReadBytes(benchmark::State& state) {
    Server server(SendTransfer);
    std::vector<char> buf(blockSize);
    for (auto _ : state) {
        auto stream = CreateSocketStream(TSocket::Create(server.Connect(), true), true);
        int64_t received = 0;
        while (!stream->Eof()) {
            stream->ReadBytes(buf.data(), blockSize);
            received += blockSize;
            benchmark::DoNotOptimize(buf.data());
        }
        if (received != transferSize) state.SkipWithError("the transfer ended early");
    }
    state.SetBytesProcessed(state.iterations() * transferSize);
}

void PlainConnectClose(benchmark::State& state) {
    Server server(CloseAtOnce);
    for (auto _ : state)
        close(server.Connect());
    state.counters["connections"] =
        benchmark::Counter(state.iterations(), benchmark::Counter::kIsRate);
}

void OpenStreamClose(benchmark::State& state) {
    Server server(CloseAtOnce);
    String url = u"tcp::127.0.0.1:" + FromInt(server.Port());
    for (auto _ : state) {
        auto stream = OpenStream(url);
        if (!stream) {
            state.SkipWithError("the connection was refused");
            break;
        }
        stream->Close();
    }
    state.counters["connections"] =
        benchmark::Counter(state.iterations(), benchmark::Counter::kIsRate);
}

} // namespace

BENCHMARK(PlainRecvBlocks)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(SocketStreamReadBytes)->Unit(benchmark::kMillisecond)->UseRealTime();
// Few enough connections that closed ones waiting out their time do not use up
// the local ports.
BENCHMARK(PlainConnectClose)->Unit(benchmark::kMicrosecond)->UseRealTime()->Iterations(4000);
BENCHMARK(OpenStreamClose)->Unit(benchmark::kMicrosecond)->UseRealTime()->Iterations(4000);

int main(int argc, char** argv) {
    StartNetModule();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    return 0;
}
