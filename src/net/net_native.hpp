// The operating-system side of the net module: what a new platform provides.
// Handles are the system's socket numbers, -1 for none; addresses and ports
// are in host order.
#pragma once

#include <zandrel/net.hpp>

#include <cstdint>
#include <string>
#include <vector>

namespace zandrel::native {

enum class SocketType { TCP, UDP };

// Readiness asked of one socket by WaitForSockets, and the answer.
struct SocketWait {
    int handle = -1;
    bool read = false;
    bool write = false;
    bool error = false;
};

// Once, before any other call: whatever the socket library needs.
void StartSockets();
// A new IPv4 socket that is not inherited by child processes; -1 on failure.
int OpenSocket(SocketType type);
void CloseSocket(int handle);
// Bytes moved, -1 on failure; a signal is not a failure, and a peer that has
// gone makes Send fail, never raise SIGPIPE.
int SendBytes(int handle, const void* buf, int count, SocketFlags flags);
int ReceiveBytes(int handle, void* buf, int count, SocketFlags flags);
bool BindSocket(int handle, uint32_t ip, int port);
// Connected within `timeoutMs` (negative: as long as the system tries).
bool ConnectSocket(int handle, uint32_t ip, int port, int timeoutMs);
bool ListenSocket(int handle, int backlog);
// A new connection within `timeoutMs` (negative: no limit), counted from the
// call however often signals interrupt the wait; -1 when none came.
int AcceptConnection(int handle, int timeoutMs);
// Bytes readable at once; -1 when the system cannot say.
int BytesAvailable(int handle);
bool SetNoDelay(int handle, bool flag);
// False when the socket has no IPv4 address of that side.
bool LocalAddress(int handle, uint32_t& ip, int& port);
bool PeerAddress(int handle, uint32_t& ip, int& port);
// Waits up to `timeoutMs` (negative: no limit) for any asked readiness and
// leaves in each entry only what became ready; a closed or failed connection
// counts as readable and writeable. The number of entries with something
// ready, -1 on failure.
int WaitForSockets(std::vector<SocketWait>& sockets, int timeoutMs);
// IPv4 addresses of a UTF-8 name, in the resolver's order; empty on failure.
std::vector<uint32_t> ResolveHost(const std::string& name);
// The UTF-8 name of an address; empty when it has none.
std::string ResolveAddress(uint32_t ip);

} // namespace zandrel::native
