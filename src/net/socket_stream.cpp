#include "net_native.hpp"

#include <zandrel/net.hpp>

#include <atomic>

namespace zandrel {

namespace {

// Until the peer sends or closes, whether more will come is unknown; a line
// loop that took "no bytes yet" for "more to come" would read an empty line
// at the close. A stream with a read limit waits no longer than a read would.
void WaitUntilReadable(TSocket& socket, int timeoutMs) {
    std::vector<native::SocketWait> wait{{socket.Handle(), true, false, false}};
    native::WaitForSockets(wait, timeoutMs < 0 ? -1 : timeoutMs);
}

std::atomic<int> connectLimit{NetTimeouts{}.connectMs};
std::atomic<int> replyHeadLimit{NetTimeouts{}.replyHeadMs};
std::atomic<int> readIdleLimit{NetTimeouts{}.readIdleMs};

} // namespace

void SetNetTimeouts(const NetTimeouts& timeouts) {
    connectLimit = timeouts.connectMs;
    replyHeadLimit = timeouts.replyHeadMs;
    readIdleLimit = timeouts.readIdleMs;
}

NetTimeouts GetNetTimeouts() {
    return {connectLimit, replyHeadLimit, readIdleLimit};
}

TSocketStream::~TSocketStream() {
    Close();
}

bool TSocketStream::Eof() {
    if (!socket_) return true;
    if (socket_->ReadAvail() == 0) WaitUntilReadable(*socket_, readTimeout_);
    if (socket_->Connected()) return false;
    Close();
    return true;
}

bool TSocketStream::Close() {
    if (!socket_) return true;
    if (autoClose_) socket_->Close();
    socket_ = nullptr;
    return true;
}

// A read that waits past its limit moves nothing, as a failed one does.
int TSocketStream::Read(void* buf, int count) {
    if (!socket_) return 0;
    if (readTimeout_ >= 0) {
        std::vector<Ref<TSocket>> read{socket_}, none;
        if (SelectSockets(read, none, none, readTimeout_) != 1) return 0;
    }
    return socket_->Recv(buf, count);
}

int TSocketStream::Write(const void* buf, int count) {
    return socket_ ? socket_->Send(buf, count) : 0;
}

// Eof costs two system calls; a read that delivers needs no such question.
int TSocketStream::ReadBytes(void* buf, int count) {
    auto* p = static_cast<uint8_t*>(buf);
    for (int left = count; left > 0;) {
        int n = Read(p, left);
        if (n <= 0) {
            ThrowUnlessEnded();
            break;
        }
        p += n;
        left -= n;
    }
    return count;
}

Ref<TSocketStream> TSocketStream::Create(Ref<TSocket> socket, bool autoClose) {
    auto stream = New<TSocketStream>();
    stream->socket_ = std::move(socket);
    stream->autoClose_ = autoClose;
    stream->readTimeout_ = readIdleLimit;
    return stream;
}

Ref<TSocketStream> CreateSocketStream(Ref<TSocket> socket, bool autoClose) {
    return TSocketStream::Create(std::move(socket), autoClose);
}

Ref<TSocketStream> OpenTCPStream(const String& host, int port) {
    uint32_t ip = HostIp(host, 0);
    if (ip == 0) {
        SetLoadError(u"unknown host '" + host + u"'");
        return nullptr;
    }
    auto socket = CreateTCPSocket();
    if (!socket || !socket->Connect(ip, port, connectLimit)) {
        SetLoadError(u"cannot connect to " + host + u":" + FromInt(port));
        if (socket) socket->Close();
        return nullptr;
    }
    return CreateSocketStream(socket, true);
}

} // namespace zandrel
