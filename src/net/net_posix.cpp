#include "net_native.hpp"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>

// Where send cannot be told per call not to raise SIGPIPE, the socket is told
// once when it is made.
#ifndef MSG_NOSIGNAL
#define MSG_NOSIGNAL 0
#define ZANDREL_SOCKET_NOSIGPIPE 1
#endif

namespace zandrel::native {

namespace {

using Clock = std::chrono::steady_clock;

// The time to a deadline in whole milliseconds, rounded up so that a wait
// never ends before it; 0 once it has passed.
int MillisecondsUntil(Clock::time_point deadline) {
    auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left > 0 ? static_cast<int>(left) : 0;
}

// poll that keeps its timeout when signals interrupt it.
int PollKeepingTimeout(pollfd* fds, nfds_t count, int timeoutMs) {
    auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    int wait = timeoutMs;
    for (;;) {
        int ready = ::poll(fds, count, wait);
        if (ready >= 0 || errno != EINTR) return ready;
        if (timeoutMs >= 0) wait = MillisecondsUntil(deadline);
    }
}

int SystemFlags(SocketFlags flags) {
    return (flags & SocketFlags::OutOfBand ? MSG_OOB : 0) |
           (flags & SocketFlags::Peek ? MSG_PEEK : 0) |
           (flags & SocketFlags::DontRoute ? MSG_DONTROUTE : 0);
}

void PreventSigpipe([[maybe_unused]] int handle) {
#ifdef ZANDREL_SOCKET_NOSIGPIPE
    int on = 1;
    setsockopt(handle, SOL_SOCKET, SO_NOSIGPIPE, &on, sizeof on);
#endif
}

sockaddr_in IPv4Address(uint32_t ip, int port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(ip);
    address.sin_port = htons(static_cast<uint16_t>(port));
    return address;
}

bool ReadAddress(const sockaddr_storage& storage, uint32_t& ip, int& port) {
    if (storage.ss_family != AF_INET) return false;
    const auto& address = reinterpret_cast<const sockaddr_in&>(storage);
    ip = ntohl(address.sin_addr.s_addr);
    port = ntohs(address.sin_port);
    return true;
}

// A connection that its peer drops between poll and accept must not leave
// accept waiting for the next one.
int AcceptWithoutWaiting(int handle) {
    int flags = fcntl(handle, F_GETFL);
    if (flags < 0) return -1;
    fcntl(handle, F_SETFL, flags | O_NONBLOCK);
    int client = accept4(handle, nullptr, nullptr, SOCK_CLOEXEC);
    int error = errno;
    fcntl(handle, F_SETFL, flags);
    errno = error;
    return client;
}

bool IsTransientAcceptError(int error) {
    return error == EAGAIN || error == EWOULDBLOCK || error == EINTR || error == ECONNABORTED ||
           error == EPROTO;
}

} // namespace

void StartSockets() {}

int OpenSocket(SocketType type) {
    int handle =
        ::socket(AF_INET, (type == SocketType::TCP ? SOCK_STREAM : SOCK_DGRAM) | SOCK_CLOEXEC, 0);
    if (handle >= 0) PreventSigpipe(handle);
    return handle;
}

void CloseSocket(int handle) {
    ::close(handle);
}

int SendBytes(int handle, const void* buf, int count, SocketFlags flags) {
    ssize_t sent;
    do {
        sent = ::send(handle, buf, static_cast<size_t>(count), SystemFlags(flags) | MSG_NOSIGNAL);
    } while (sent < 0 && errno == EINTR);
    return static_cast<int>(sent);
}

int ReceiveBytes(int handle, void* buf, int count, SocketFlags flags) {
    ssize_t received;
    do {
        received = ::recv(handle, buf, static_cast<size_t>(count), SystemFlags(flags));
    } while (received < 0 && errno == EINTR);
    return static_cast<int>(received);
}

bool BindSocket(int handle, uint32_t ip, int port) {
    sockaddr_in address = IPv4Address(ip, port);
    return ::bind(handle, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
}

namespace {

// The outcome of a connection under way, waited for up to `timeoutMs`.
bool AwaitConnection(int handle, int timeoutMs) {
    pollfd entry{handle, POLLOUT, 0};
    if (PollKeepingTimeout(&entry, 1, timeoutMs) != 1) return false;
    int error = 0;
    socklen_t size = sizeof error;
    return getsockopt(handle, SOL_SOCKET, SO_ERROR, &error, &size) == 0 && error == 0;
}

} // namespace

// A limited wait connects without blocking and polls; a connection that a
// signal interrupts goes on, so its outcome is waited for too.
bool ConnectSocket(int handle, uint32_t ip, int port, int timeoutMs) {
    sockaddr_in address = IPv4Address(ip, port);
    int flags = fcntl(handle, F_GETFL);
    if (flags < 0) return false;
    bool limited = timeoutMs >= 0;
    if (limited) fcntl(handle, F_SETFL, flags | O_NONBLOCK);
    bool connected = ::connect(handle, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    if (!connected && (errno == EINPROGRESS || errno == EINTR))
        connected = AwaitConnection(handle, timeoutMs);
    if (limited) fcntl(handle, F_SETFL, flags);
    return connected;
}

bool ListenSocket(int handle, int backlog) {
    return ::listen(handle, backlog) == 0;
}

int AcceptConnection(int handle, int timeoutMs) {
    auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        pollfd entry{handle, POLLIN, 0};
        int wait = timeoutMs < 0 ? -1 : MillisecondsUntil(deadline);
        if (PollKeepingTimeout(&entry, 1, wait) != 1) return -1;
        int client = AcceptWithoutWaiting(handle);
        if (client >= 0) {
            PreventSigpipe(client);
            return client;
        }
        if (!IsTransientAcceptError(errno)) return -1;
        if (timeoutMs >= 0 && MillisecondsUntil(deadline) == 0) return -1;
    }
}

int BytesAvailable(int handle) {
    int count = 0;
    return ::ioctl(handle, FIONREAD, &count) == 0 ? count : -1;
}

bool SetNoDelay(int handle, bool flag) {
    int32_t value = flag ? 1 : 0;
    return setsockopt(handle, IPPROTO_TCP, TCP_NODELAY, &value, sizeof value) == 0;
}

bool LocalAddress(int handle, uint32_t& ip, int& port) {
    sockaddr_storage storage{};
    socklen_t size = sizeof storage;
    if (getsockname(handle, reinterpret_cast<sockaddr*>(&storage), &size) != 0) return false;
    return ReadAddress(storage, ip, port);
}

bool PeerAddress(int handle, uint32_t& ip, int& port) {
    sockaddr_storage storage{};
    socklen_t size = sizeof storage;
    if (getpeername(handle, reinterpret_cast<sockaddr*>(&storage), &size) != 0) return false;
    return ReadAddress(storage, ip, port);
}

int WaitForSockets(std::vector<SocketWait>& sockets, int timeoutMs) {
    std::vector<pollfd> entries;
    entries.reserve(sockets.size());
    for (const auto& socket : sockets) {
        short events = (socket.read ? POLLIN : 0) | (socket.write ? POLLOUT : 0) |
                       (socket.error ? POLLPRI : 0);
        entries.push_back({socket.handle, events, 0});
    }
    if (PollKeepingTimeout(entries.data(), entries.size(), timeoutMs) < 0) return -1;
    int ready = 0;
    for (size_t i = 0; i < sockets.size(); ++i) {
        short got = entries[i].revents;
        if (got & POLLNVAL) return -1;
        auto& socket = sockets[i];
        socket.read = socket.read && (got & (POLLIN | POLLHUP | POLLERR));
        socket.write = socket.write && (got & (POLLOUT | POLLHUP | POLLERR));
        socket.error = socket.error && (got & (POLLPRI | POLLERR));
        if (socket.read || socket.write || socket.error) ++ready;
    }
    return ready;
}

std::vector<uint32_t> ResolveHost(const std::string& name) {
    addrinfo hints{};
    hints.ai_family = AF_INET;
    // One entry per address rather than one per socket type.
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (getaddrinfo(name.c_str(), nullptr, &hints, &found) != 0) return {};
    std::vector<uint32_t> ips;
    for (auto* entry = found; entry; entry = entry->ai_next) {
        if (entry->ai_family != AF_INET || entry->ai_addrlen < sizeof(sockaddr_in)) continue;
        ips.push_back(ntohl(reinterpret_cast<const sockaddr_in*>(entry->ai_addr)->sin_addr.s_addr));
    }
    freeaddrinfo(found);
    return ips;
}

std::string ResolveAddress(uint32_t ip) {
    sockaddr_in address = IPv4Address(ip, 0);
    char name[NI_MAXHOST];
    if (getnameinfo(reinterpret_cast<sockaddr*>(&address), sizeof address, name, sizeof name,
                    nullptr, 0, NI_NAMEREQD) != 0)
        return {};
    return name;
}

} // namespace zandrel::native
