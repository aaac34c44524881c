// The system's TCP transport under the framework's sockets (platform/socket.h), with
// standard types only, so that its POSIX twin (platform/posix/socket_transport.cpp) and
// its Windows twin (platform/win32/socket_transport.cpp, WinSock) can both include it.
//
// Contract:
// - Every call returns >= 0 on success (Recv and Send: the byte count) or minus a
//   Windows Sockets error number: WinSock gives those itself, the POSIX twin maps errno
//   with one table (posix/socket_errno.h). "Would block" is -kSocketWouldBlock, and so
//   is a connection still being made. Nothing here blocks.
// - Addresses are IPv4 only, in host byte order.
// - WaitHandle() is what a blocking call waits on (IEventBackend::WaitForSocket): the
//   descriptor on POSIX, the SOCKET on Windows; kNoSocketHandle for a transport without
//   one (a scripted one), which then tells MsUntilReady instead.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>

// A socket of the system, as a number: a POSIX descriptor or a WinSock SOCKET.
using SocketHandle = std::uintptr_t;
constexpr SocketHandle kNoSocketHandle = ~SocketHandle(0);

// The Windows Sockets numbers the transport's callers look at by name.
constexpr int kSocketWouldBlock = 10035;  // WSAEWOULDBLOCK
constexpr int kSocketAlready = 10037;     // WSAEALREADY
constexpr int kSocketInvalid = 10022;     // WSAEINVAL
constexpr int kSocketNotInitialised = 10093;

struct SocketAddress {
    std::uint32_t ipv4 = 0;  // 0: any local address
    std::uint16_t port = 0;
};

class ISocketIo {
public:
    virtual ~ISocketIo() = default;
    // Makes the socket (non-blocking) of the type (1 stream, 2 datagram: the same numbers
    // on every system) and binds it to local.
    virtual long Open(int type, const SocketAddress& local) = 0;
    // Starts connecting: 0 when connected at once, -kSocketWouldBlock when under way.
    virtual long StartConnect(const SocketAddress& remote) = 0;
    // After a wait: 0 connected, -kSocketWouldBlock still under way, else why it failed.
    virtual long FinishConnect() = 0;
    virtual long Recv(void* buffer, std::size_t length, int flags) = 0;
    virtual long Send(const void* buffer, std::size_t length, int flags) = 0;
    // how: 0 receive, 1 send, 2 both.
    virtual long Shutdown(int how) = 0;
    virtual void Close() = 0;
    virtual SocketHandle WaitHandle() const = 0;
    // For a transport without a handle: milliseconds until the pending operation may
    // succeed (0 now), -1 when unknown. The blocking wait never sleeps past it.
    virtual int MsUntilReady(bool forWrite)
    {
        (void)forWrite;
        return -1;
    }
};

using SocketIoFactory = std::function<std::unique_ptr<ISocketIo>()>;

// The system's transport (POSIX sockets or WinSock).
std::unique_ptr<ISocketIo> MakeSystemSocketIo();
// Starts the system's sockets once per process (WSAStartup on Windows; nothing to do
// on POSIX). 0, or the Windows Sockets number of the failure.
int StartSystemSockets();
// A dotted IPv4 address ("192.168.1.40"): true and *out set, else false.
bool ParseIPv4(const char* text, std::uint32_t* out);
// A dotted address or a host name looked up (blocking, IPv4 only): 0 and *out set, else
// the Windows Sockets number of the lookup's failure (11001 host not found, ...).
int ResolveIPv4(const char* host, std::uint32_t* out);
