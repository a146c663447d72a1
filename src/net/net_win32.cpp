// Sockets through Winsock 2, with the same time limits as elsewhere: a
// limited connect runs without blocking and waits for its outcome, accept
// waits for a connection and takes it without blocking. Handles are the
// system's SOCKET values, which fit in an int.
#include "net_native.hpp"

#include <winsock2.h>
#include <ws2tcpip.h>

#include <chrono>

namespace zandrel::native {

namespace {

using Clock = std::chrono::steady_clock;

SOCKET Native(int handle) {
    return static_cast<SOCKET>(handle);
}

// The time to a deadline in whole milliseconds, rounded up so that a wait
// never ends before it; 0 once it has passed.
int MillisecondsUntil(Clock::time_point deadline) {
    auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left > 0 ? static_cast<int>(left) : 0;
}

int SystemFlags(SocketFlags flags) {
    return (flags & SocketFlags::OutOfBand ? MSG_OOB : 0) |
           (flags & SocketFlags::Peek ? MSG_PEEK : 0) |
           (flags & SocketFlags::DontRoute ? MSG_DONTROUTE : 0);
}

sockaddr_in IPv4Address(uint32_t ip, int port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(ip);
    address.sin_port = htons(static_cast<u_short>(port));
    return address;
}

bool ReadAddress(const sockaddr_storage& storage, uint32_t& ip, int& port) {
    if (storage.ss_family != AF_INET) return false;
    const auto& address = reinterpret_cast<const sockaddr_in&>(storage);
    ip = ntohl(address.sin_addr.s_addr);
    port = ntohs(address.sin_port);
    return true;
}

bool SetBlocking(int handle, bool blocking) {
    u_long nonBlocking = blocking ? 0 : 1;
    return ioctlsocket(Native(handle), FIONBIO, &nonBlocking) == 0;
}

// The outcome of a connection under way, waited for up to `timeoutMs`:
// Windows reports a refused one among the exceptions.
bool AwaitConnection(int handle, int timeoutMs) {
    fd_set writeable, failed;
    FD_ZERO(&writeable);
    FD_ZERO(&failed);
    FD_SET(Native(handle), &writeable);
    FD_SET(Native(handle), &failed);
    timeval limit{timeoutMs / 1000, timeoutMs % 1000 * 1000};
    if (select(0, nullptr, &writeable, &failed, timeoutMs < 0 ? nullptr : &limit) != 1)
        return false;
    return FD_ISSET(Native(handle), &writeable);
}

// A connection that its peer drops between the wait and accept must not
// leave accept waiting for the next one. Windows gives the new socket the
// listener's non-blocking mode, so both go back to blocking.
int AcceptWithoutWaiting(int handle) {
    if (!SetBlocking(handle, false)) return -1;
    SOCKET client = accept(Native(handle), nullptr, nullptr);
    int error = WSAGetLastError();
    SetBlocking(handle, true);
    if (client == INVALID_SOCKET) {
        WSASetLastError(error);
        return -1;
    }
    SetHandleInformation(reinterpret_cast<HANDLE>(client), HANDLE_FLAG_INHERIT, 0);
    SetBlocking(static_cast<int>(client), true);
    return static_cast<int>(client);
}

bool IsTransientAcceptError(int error) {
    return error == WSAEWOULDBLOCK || error == WSAEINTR || error == WSAECONNRESET;
}

} // namespace

void StartSockets() {
    WSADATA data;
    WSAStartup(MAKEWORD(2, 2), &data);
}

int OpenSocket(SocketType type) {
    SOCKET handle = WSASocketW(AF_INET, type == SocketType::TCP ? SOCK_STREAM : SOCK_DGRAM, 0,
                               nullptr, 0, WSA_FLAG_OVERLAPPED | WSA_FLAG_NO_HANDLE_INHERIT);
    if (handle == INVALID_SOCKET) return -1;
    SetHandleInformation(reinterpret_cast<HANDLE>(handle), HANDLE_FLAG_INHERIT, 0);
    return static_cast<int>(handle);
}

void CloseSocket(int handle) {
    closesocket(Native(handle));
}

int SendBytes(int handle, const void* buf, int count, SocketFlags flags) {
    return send(Native(handle), static_cast<const char*>(buf), count, SystemFlags(flags));
}

int ReceiveBytes(int handle, void* buf, int count, SocketFlags flags) {
    return recv(Native(handle), static_cast<char*>(buf), count, SystemFlags(flags));
}

bool BindSocket(int handle, uint32_t ip, int port) {
    sockaddr_in address = IPv4Address(ip, port);
    return bind(Native(handle), reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
}

bool ConnectSocket(int handle, uint32_t ip, int port, int timeoutMs) {
    sockaddr_in address = IPv4Address(ip, port);
    bool limited = timeoutMs >= 0;
    if (limited && !SetBlocking(handle, false)) return false;
    bool connected =
        connect(Native(handle), reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    if (!connected && limited && WSAGetLastError() == WSAEWOULDBLOCK)
        connected = AwaitConnection(handle, timeoutMs);
    if (limited) SetBlocking(handle, true);
    return connected;
}

bool ListenSocket(int handle, int backlog) {
    return listen(Native(handle), backlog) == 0;
}

int AcceptConnection(int handle, int timeoutMs) {
    auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        WSAPOLLFD entry{Native(handle), POLLRDNORM, 0};
        int wait = timeoutMs < 0 ? -1 : MillisecondsUntil(deadline);
        if (WSAPoll(&entry, 1, wait) != 1) return -1;
        int client = AcceptWithoutWaiting(handle);
        if (client >= 0) return client;
        if (!IsTransientAcceptError(WSAGetLastError())) return -1;
        if (timeoutMs >= 0 && MillisecondsUntil(deadline) == 0) return -1;
    }
}

int BytesAvailable(int handle) {
    u_long count = 0;
    return ioctlsocket(Native(handle), FIONREAD, &count) == 0 ? static_cast<int>(count) : -1;
}

bool SetNoDelay(int handle, bool flag) {
    BOOL value = flag ? TRUE : FALSE;
    return setsockopt(Native(handle), IPPROTO_TCP, TCP_NODELAY,
                      reinterpret_cast<const char*>(&value), sizeof value) == 0;
}

bool LocalAddress(int handle, uint32_t& ip, int& port) {
    sockaddr_storage storage{};
    int size = sizeof storage;
    if (getsockname(Native(handle), reinterpret_cast<sockaddr*>(&storage), &size) != 0)
        return false;
    return ReadAddress(storage, ip, port);
}

bool PeerAddress(int handle, uint32_t& ip, int& port) {
    sockaddr_storage storage{};
    int size = sizeof storage;
    if (getpeername(Native(handle), reinterpret_cast<sockaddr*>(&storage), &size) != 0)
        return false;
    return ReadAddress(storage, ip, port);
}

int WaitForSockets(std::vector<SocketWait>& sockets, int timeoutMs) {
    std::vector<WSAPOLLFD> entries;
    entries.reserve(sockets.size());
    for (const auto& socket : sockets) {
        SHORT events =
            static_cast<SHORT>((socket.read ? POLLRDNORM : 0) | (socket.write ? POLLWRNORM : 0) |
                               (socket.error ? POLLRDBAND : 0));
        entries.push_back({Native(socket.handle), events, 0});
    }
    if (!entries.empty() &&
        WSAPoll(entries.data(), static_cast<ULONG>(entries.size()), timeoutMs) < 0)
        return -1;
    if (entries.empty() && timeoutMs > 0) Sleep(static_cast<DWORD>(timeoutMs));
    int ready = 0;
    for (size_t i = 0; i < sockets.size(); ++i) {
        SHORT got = entries[i].revents;
        if (got & POLLNVAL) return -1;
        auto& socket = sockets[i];
        socket.read = socket.read && (got & (POLLRDNORM | POLLHUP | POLLERR));
        socket.write = socket.write && (got & (POLLWRNORM | POLLHUP | POLLERR));
        socket.error = socket.error && (got & (POLLRDBAND | POLLERR));
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
