#include "net_native.hpp"

namespace zandrel {

namespace {

bool IsPort(int port) {
    return port >= 0 && port <= 65535;
}

} // namespace

TSocket::~TSocket() {
    Close();
}

int TSocket::Send(const void* buf, int count, SocketFlags flags) {
    if (handle_ < 0 || count <= 0) return 0;
    int sent = native::SendBytes(handle_, buf, count, flags);
    return sent > 0 ? sent : 0;
}

int TSocket::Recv(void* buf, int count, SocketFlags flags) {
    if (handle_ < 0 || count <= 0) return 0;
    int received = native::ReceiveBytes(handle_, buf, count, flags);
    return received > 0 ? received : 0;
}

void TSocket::Close() {
    if (handle_ < 0) return;
    if (autoClose_) native::CloseSocket(handle_);
    handle_ = -1;
    localIp_ = remoteIp_ = NoIp;
    localPort_ = remotePort_ = -1;
}

bool TSocket::Connected() {
    if (handle_ < 0) return false;
    // Bytes waiting answer at once, which matters to a stream that asks
    // before every read. Only a count taken after the socket was found
    // readable can show a closed peer: bytes may arrive between the calls.
    if (ReadAvail() != 0) return true;
    std::vector<native::SocketWait> wait{{handle_, true, false, false}};
    if (native::WaitForSockets(wait, 0) <= 0 || !wait[0].read) return true;
    if (ReadAvail() != 0) return true;
    // Readable with nothing to read: the peer has closed.
    Close();
    return false;
}

bool TSocket::Bind(int port, uint32_t ip) {
    if (handle_ < 0 || !IsPort(port) || !native::BindSocket(handle_, ip, port)) return false;
    UpdateLocal();
    return true;
}

bool TSocket::Connect(uint32_t ip, int port, int timeout) {
    if (handle_ < 0 || !IsPort(port) || !native::ConnectSocket(handle_, ip, port, timeout))
        return false;
    UpdateLocal();
    UpdateRemote();
    return true;
}

bool TSocket::Listen(int backlog) {
    return handle_ >= 0 && native::ListenSocket(handle_, backlog);
}

Ref<TSocket> TSocket::Accept(int timeout) {
    if (handle_ < 0) return nullptr;
    return Create(native::AcceptConnection(handle_, timeout), true);
}

int TSocket::ReadAvail() {
    if (handle_ < 0) return 0;
    int count = native::BytesAvailable(handle_);
    return count > 0 ? count : 0;
}

void TSocket::SetTCPNoDelay(bool flag) {
    if (handle_ >= 0) native::SetNoDelay(handle_, flag);
}

void TSocket::UpdateLocal() {
    if (handle_ < 0 || !native::LocalAddress(handle_, localIp_, localPort_)) {
        localIp_ = 0;
        localPort_ = 0;
    }
}

void TSocket::UpdateRemote() {
    if (handle_ < 0 || !native::PeerAddress(handle_, remoteIp_, remotePort_)) {
        remoteIp_ = 0;
        remotePort_ = 0;
    }
}

Ref<TSocket> TSocket::Create(int handle, bool autoClose) {
    if (handle < 0) return nullptr;
    auto socket = New<TSocket>();
    socket->handle_ = handle;
    socket->autoClose_ = autoClose;
    socket->UpdateLocal();
    socket->UpdateRemote();
    return socket;
}

// A new socket is bound and connected to nothing, so its addresses are 0
// without asking the system twice: that is a third of the cost of a
// connection on loopback.
Ref<TSocket> TSocket::CreateUnconnected(int handle) {
    if (handle < 0) return nullptr;
    auto socket = New<TSocket>();
    socket->handle_ = handle;
    socket->autoClose_ = true;
    socket->localIp_ = socket->remoteIp_ = 0;
    socket->localPort_ = socket->remotePort_ = 0;
    return socket;
}

Ref<TSocket> TSocket::CreateUDP() {
    return CreateUnconnected(native::OpenSocket(native::SocketType::UDP));
}

Ref<TSocket> TSocket::CreateTCP() {
    return CreateUnconnected(native::OpenSocket(native::SocketType::TCP));
}

Ref<TSocket> CreateTCPSocket() {
    return TSocket::CreateTCP();
}
Ref<TSocket> CreateUDPSocket() {
    return TSocket::CreateUDP();
}
int Send(const Ref<TSocket>& socket, const void* buf, int count, SocketFlags flags) {
    return socket->Send(buf, count, flags);
}
int Recv(const Ref<TSocket>& socket, void* buf, int count, SocketFlags flags) {
    return socket->Recv(buf, count, flags);
}
void Close(const Ref<TSocket>& socket) {
    socket->Close();
}
bool Connected(const Ref<TSocket>& socket) {
    return socket->Connected();
}
bool Bind(const Ref<TSocket>& socket, int port, uint32_t ip) {
    return socket->Bind(port, ip);
}
bool Connect(const Ref<TSocket>& socket, uint32_t ip, int port, int timeout) {
    return socket->Connect(ip, port, timeout);
}
bool Listen(const Ref<TSocket>& socket, int backlog) {
    return socket->Listen(backlog);
}
Ref<TSocket> Accept(const Ref<TSocket>& socket, int timeout) {
    return socket->Accept(timeout);
}
int ReadAvail(const Ref<TSocket>& socket) {
    return socket->ReadAvail();
}
void SetTCPNoDelay(const Ref<TSocket>& socket, bool flag) {
    socket->SetTCPNoDelay(flag);
}
int Handle(const Ref<TSocket>& socket) {
    return socket->Handle();
}
uint32_t LocalIp(const Ref<TSocket>& socket) {
    return socket->LocalIp();
}
int LocalPort(const Ref<TSocket>& socket) {
    return socket->LocalPort();
}
uint32_t RemoteIp(const Ref<TSocket>& socket) {
    return socket->RemoteIp();
}
int RemotePort(const Ref<TSocket>& socket) {
    return socket->RemotePort();
}
void UpdateLocal(const Ref<TSocket>& socket) {
    socket->UpdateLocal();
}
void UpdateRemote(const Ref<TSocket>& socket) {
    socket->UpdateRemote();
}

int SelectSockets(std::vector<Ref<TSocket>>& read, std::vector<Ref<TSocket>>& write,
                  std::vector<Ref<TSocket>>& error, int timeout) {
    std::vector<Ref<TSocket>>* lists[] = {&read, &write, &error};
    std::vector<native::SocketWait> waits;
    for (int kind = 0; kind < 3; ++kind)
        for (auto& socket : *lists[kind])
            if (socket && socket->Handle() >= 0)
                waits.push_back({socket->Handle(), kind == 0, kind == 1, kind == 2});
    int ready = native::WaitForSockets(waits, timeout);
    // The waits were made in list order, skipping what could not be asked.
    size_t next = 0;
    for (int kind = 0; kind < 3; ++kind) {
        for (auto& socket : *lists[kind]) {
            if (!socket || socket->Handle() < 0) {
                socket = nullptr;
                continue;
            }
            const auto& wait = waits[next++];
            if (ready < 0 || !(wait.read || wait.write || wait.error)) socket = nullptr;
        }
    }
    return ready;
}

} // namespace zandrel
