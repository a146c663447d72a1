// IPv4 sockets (TCP and UDP), host-name lookup, a stream over a connected
// socket, and the "tcp" and "http" stream openers ("tcp::host:port",
// "http::host[:port]/path", whose stream is the body of an HTTP/1.0 reply).
//
// Start-up: StartNetModule(), which StartZandrel() calls, starts the stream
// module and registers the two openers. Failures give 0, false, no object or
// an empty string; only a socket stream's exact-count transfers throw, as
// every stream's do (TStreamReadError, TStreamWriteError).
//
// Threads: every call blocks its calling thread (send, recv and lookups are
// synchronous; connections, Connected, Accept, SelectSockets and the openers
// wait at most their time limits, see NetTimeouts). Any thread may make and use sockets, but one
// socket or socket stream is used by one thread at a time.
#pragma once

#include <zandrel/stream.hpp>

#include <cstdint>
#include <vector>

namespace zandrel {

// Starts the stream module and registers the tcp and http openers; later calls
// do nothing.
void StartNetModule();

// IPv4 addresses are in host order, the first dotted part in the top byte:
// 192.168.0.1 is 0xC0A80001. Ports are 0-65535.
constexpr uint32_t LoopbackIp = 0x7F000001;
// The address of a closed socket.
constexpr uint32_t NoIp = 0xFFFFFFFF;

// What Send and Recv may ask of the transfer; combine with |.
enum class SocketFlags { NoFlags = 0, OutOfBand = 1, Peek = 2, DontRoute = 4 };
ZANDREL_FLAG_SET(SocketFlags);

// Not raised by any operation here; kept for programs that report a failed
// socket call as an error.
class TSocketError : public RuntimeError {
public:
    TSocketError() : RuntimeError("Internal socket error") {}
};

// An IPv4 socket. The addresses are those last read from the system; a closed
// socket has handle -1, address NoIp and ports -1. Destroying it runs Close.
class TSocket : public Object {
public:
    ~TSocket() override;

    // Sends `count` bytes from `buf`; `flags` OutOfBand sends them as urgent data, DontRoute
    // bypasses routing. The bytes sent, 0 when the call fails (a peer that has gone never raises
    // SIGPIPE).
    virtual int Send(const void* buf, int count, SocketFlags flags = SocketFlags::NoFlags);
    // Receives up to `count` bytes into `buf`; `flags` Peek leaves them to be read again. The bytes
    // received, 0 when the call fails.
    virtual int Recv(void* buf, int count, SocketFlags flags = SocketFlags::NoFlags);
    // Closes the system socket too when made with autoClose.
    virtual void Close();
    // False, and the socket closed, once the peer has closed and every byte
    // it sent has been read.
    virtual bool Connected();
    // To the port on any local address, or only on `ip` when one is given.
    virtual bool Bind(int port, uint32_t ip = 0);
    // To ip:port within `timeout` ms (negative: as long as the system
    // tries); true when connected, the addresses then read again.
    virtual bool Connect(uint32_t ip, int port, int timeout = -1);
    // Accepts connections from now on, holding up to `backlog` waiting.
    virtual bool Listen(int backlog);
    // Waits up to `timeout` ms (negative: without limit) for a connection;
    // no object when none came.
    virtual Ref<TSocket> Accept(int timeout);
    // Bytes that can be read at once; 0 when unknown.
    virtual int ReadAvail();
    virtual void SetTCPNoDelay(bool flag);            // true: small writes leave at once
    virtual int Handle() { return handle_; }          // the system socket; -1 once closed
    virtual uint32_t LocalIp() { return localIp_; }   // as last read; NoIp when closed
    virtual int LocalPort() { return localPort_; }    // as last read; -1 when closed
    virtual uint32_t RemoteIp() { return remoteIp_; } // as last read; NoIp when closed
    virtual int RemotePort() { return remotePort_; }  // as last read; -1 when closed
    // Re-reads the local address and port from the system; 0 and 0 when it cannot say.
    virtual void UpdateLocal();
    // Re-reads the peer's address and port from the system; 0 and 0 when it cannot say.
    virtual void UpdateRemote();

    // No object for a negative handle.
    static Ref<TSocket> Create(int handle, bool autoClose);
    // A UDP socket; no object when the system refuses one.
    static Ref<TSocket> CreateUDP();
    // A TCP socket; no object when the system refuses one.
    static Ref<TSocket> CreateTCP();

private:
    static Ref<TSocket> CreateUnconnected(int handle);

    int handle_ = -1;
    bool autoClose_ = false;
    uint32_t localIp_ = NoIp;
    int localPort_ = -1;
    uint32_t remoteIp_ = NoIp;
    int remotePort_ = -1;
};

// The socket's methods as free functions (CreateTCPSocket and CreateUDPSocket
// are TSocket::CreateTCP and CreateUDP); a socket argument must not be empty.
Ref<TSocket> CreateTCPSocket();
// A UDP socket; no object when the system refuses one.
Ref<TSocket> CreateUDPSocket();
// Sends `count` bytes from `buf`; the bytes sent, 0 when the call fails.
int Send(const Ref<TSocket>& socket, const void* buf, int count,
         SocketFlags flags = SocketFlags::NoFlags);
// Receives up to `count` bytes into `buf`; the bytes received, 0 when the call fails.
int Recv(const Ref<TSocket>& socket, void* buf, int count,
         SocketFlags flags = SocketFlags::NoFlags);
// Closes the socket.
void Close(const Ref<TSocket>& socket);
// False once the peer has closed and everything it sent was read.
bool Connected(const Ref<TSocket>& socket);
// Binds to `port` on any local address, or only on `ip` when not 0.
bool Bind(const Ref<TSocket>& socket, int port, uint32_t ip = 0);
// Connects to `ip`:`port`, waiting up to `timeout` ms (negative: as long as
// the system waits); true when connected.
bool Connect(const Ref<TSocket>& socket, uint32_t ip, int port, int timeout = -1);
// Accepts connections, holding up to `backlog` waiting.
bool Listen(const Ref<TSocket>& socket, int backlog);
// Waits up to `timeout` ms (negative: without limit) for a connection; no object when none came.
Ref<TSocket> Accept(const Ref<TSocket>& socket, int timeout);
// Bytes that can be read at once; 0 when unknown.
int ReadAvail(const Ref<TSocket>& socket);
// `flag` true sends small writes at once.
void SetTCPNoDelay(const Ref<TSocket>& socket, bool flag);
// The system's socket handle, -1 when closed.
int Handle(const Ref<TSocket>& socket);
// The local address as last read; NoIp when closed.
uint32_t LocalIp(const Ref<TSocket>& socket);
// The local port as last read; -1 when closed.
int LocalPort(const Ref<TSocket>& socket);
// The peer's address as last read; NoIp when closed.
uint32_t RemoteIp(const Ref<TSocket>& socket);
// The peer's port as last read; -1 when closed.
int RemotePort(const Ref<TSocket>& socket);
// Re-reads the local address and port from the system.
void UpdateLocal(const Ref<TSocket>& socket);
// Re-reads the peer's address and port from the system.
void UpdateRemote(const Ref<TSocket>& socket);

// Waits up to `timeout` ms (negative: without limit) until a socket of `read`
// is readable, one of `write` writeable or one of `error` has an exceptional
// condition, then empties every entry that is not ready (empty and closed
// entries included). The number of ready entries; negative on failure.
int SelectSockets(std::vector<Ref<TSocket>>& read, std::vector<Ref<TSocket>>& write,
                  std::vector<Ref<TSocket>>& error, int timeout);

// ---------------------------------------------------------------------------
// Host names (IPv4 only)

// The addresses of a name in the resolver's order; empty when it does not
// resolve to IPv4 addresses or cannot be encoded.
std::vector<uint32_t> HostIps(const String& name);
// Entry `index` of HostIps; 0 when there is none.
uint32_t HostIp(const String& name, int index = 0);
// The name of an address; empty when it has none.
String HostName(uint32_t ip);
// "192.168.0.1" for 0xC0A80001.
String DottedIP(uint32_t ip);

// ---------------------------------------------------------------------------
// Streams over sockets

// Time limits of the socket streams, in milliseconds; a negative limit waits
// without end.
struct NetTimeouts {
    // OpenTCPStream's connection, and so the "tcp" and "http" openers'.
    int connectMs = 10000;
    // The "http" opener's wait for the whole head of the reply, however
    // slowly it comes; no stream when it runs out.
    int replyHeadMs = 30000;
    // The longest wait of one read of a new socket stream for its next bytes;
    // a read that runs out moves nothing, so an exact-count read throws
    // TStreamReadError. Streams made before a change keep their limit.
    int readIdleMs = -1;
};

// Sets the limits used from now on, by any thread.
void SetNetTimeouts(const NetTimeouts& timeouts);
// The limits in use; any thread.
NetTimeouts GetNetTimeouts();

// Reads and writes a connected socket; not seekable. At its end, and closed,
// once the peer has closed and every byte was read.
class TSocketStream : public TStream {
public:
    ~TSocketStream() override;
    // Waits until the peer sends or closes, so that a read loop ends exactly
    // at the close; true (and the stream closed) once the peer has gone.
    bool Eof() override;
    bool Close() override;
    int Read(void* buf, int count) override;
    int Write(const void* buf, int count) override;
    // As TStream's, but asks whether the peer has gone only when a read
    // brings nothing, not before every read.
    int ReadBytes(void* buf, int count) override;

    // The longest wait of one Read for bytes, in ms (negative: no limit);
    // a new stream starts with NetTimeouts' readIdleMs.
    void SetReadTimeout(int timeout) { readTimeout_ = timeout; }
    // The socket is closed with the stream when autoClose is set.
    static Ref<TSocketStream> Create(Ref<TSocket> socket, bool autoClose);
    // No object once the stream is closed.
    const Ref<TSocket>& Socket() const { return socket_; }

protected:
    Ref<TSocket> socket_;    // the connection; empty once the stream is closed
    bool autoClose_ = false; // whether Close also closes the socket
    int readTimeout_ = -1;   // ms a read may wait for data; negative: no limit
};

// `autoClose` true makes the stream's Close close the socket too.
Ref<TSocketStream> CreateSocketStream(Ref<TSocket> socket, bool autoClose); // TSocketStream::Create
// A stream over a new connection that it owns; no object when the host does
// not resolve, or the connection is refused or not made within NetTimeouts'
// connectMs.
Ref<TSocketStream> OpenTCPStream(const String& host, int port);

// The status code of the HTTP reply whose body an "http::" stream reads (200,
// 404 ...); 0 for any other stream. The body is returned whatever the status,
// and LastLoadError names a status outside 200-299.
int HttpStatus(const Ref<TStream>& stream);

} // namespace zandrel
