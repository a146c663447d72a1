// Sockets in a page: a browser offers no raw TCP or UDP, so no socket opens
// and no name resolves; everything above answers as for a network that is
// not there.
#include "net_native.hpp"

namespace zandrel::native {

void StartSockets() {}

int OpenSocket(SocketType) {
    return -1;
}

void CloseSocket(int) {}

int SendBytes(int, const void*, int, SocketFlags) {
    return -1;
}

int ReceiveBytes(int, void*, int, SocketFlags) {
    return -1;
}

bool BindSocket(int, uint32_t, int) {
    return false;
}

bool ConnectSocket(int, uint32_t, int, int) {
    return false;
}

bool ListenSocket(int, int) {
    return false;
}

int AcceptConnection(int, int) {
    return -1;
}

int BytesAvailable(int) {
    return -1;
}

bool SetNoDelay(int, bool) {
    return false;
}

bool LocalAddress(int, uint32_t&, int&) {
    return false;
}

bool PeerAddress(int, uint32_t&, int&) {
    return false;
}

int WaitForSockets(std::vector<SocketWait>&, int) {
    return -1;
}

std::vector<uint32_t> ResolveHost(const std::string&) {
    return {};
}

std::string ResolveAddress(uint32_t) {
    return {};
}

} // namespace zandrel::native
