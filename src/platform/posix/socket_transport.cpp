// The POSIX twin of the sockets' transport: non-blocking BSD sockets, errno values
// mapped to Windows Sockets numbers by one table.
#include "platform/posix/socket_errno.h"
#include "platform/socket.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>

namespace {

struct ErrnoEntry {
    int posix;
    int wsa;
};

// Every errno a socket, bind, connect, send, recv, shutdown or poll call can leave, with
// its Windows Sockets number. Names that are one value on Linux (EAGAIN/EWOULDBLOCK,
// ENOTSUP/EOPNOTSUPP) appear once.
constexpr ErrnoEntry kErrnoTable[] = {
    {EINTR, WSAEINTR},
    {EBADF, WSAENOTSOCK},  // a descriptor that is gone is, to the program, no socket
    {EACCES, WSAEACCES},
    {EPERM, WSAEACCES},
    {EFAULT, WSAEFAULT},
    {EINVAL, WSAEINVAL},
    {EMFILE, WSAEMFILE},
    {ENFILE, WSAEMFILE},
    {EWOULDBLOCK, WSAEWOULDBLOCK},
    {EINPROGRESS, WSAEINPROGRESS},
    {EALREADY, WSAEALREADY},
    {ENOTSOCK, WSAENOTSOCK},
    {EDESTADDRREQ, WSAEDESTADDRREQ},
    {EMSGSIZE, WSAEMSGSIZE},
    {EPROTOTYPE, WSAEPROTOTYPE},
    {ENOPROTOOPT, WSAENOPROTOOPT},
    {EPROTONOSUPPORT, WSAEPROTONOSUPPORT},
    {ESOCKTNOSUPPORT, WSAESOCKTNOSUPPORT},
    {EOPNOTSUPP, WSAEOPNOTSUPP},
    {EPFNOSUPPORT, WSAEPFNOSUPPORT},
    {EAFNOSUPPORT, WSAEAFNOSUPPORT},
    {EADDRINUSE, WSAEADDRINUSE},
    {EADDRNOTAVAIL, WSAEADDRNOTAVAIL},
    {ENETDOWN, WSAENETDOWN},
    {ENETUNREACH, WSAENETUNREACH},
    {ENETRESET, WSAENETRESET},
    {ECONNABORTED, WSAECONNABORTED},
    {ECONNRESET, WSAECONNRESET},
    {ENOBUFS, WSAENOBUFS},
    {ENOMEM, WSAENOBUFS},
    {EISCONN, WSAEISCONN},
    {ENOTCONN, WSAENOTCONN},
    {EPIPE, WSAESHUTDOWN},
    {ESHUTDOWN, WSAESHUTDOWN},
    {ETOOMANYREFS, WSAETOOMANYREFS},
    {ETIMEDOUT, WSAETIMEDOUT},
    {ECONNREFUSED, WSAECONNREFUSED},
    {ELOOP, WSAELOOP},
    {ENAMETOOLONG, WSAENAMETOOLONG},
    {EHOSTDOWN, WSAEHOSTDOWN},
    {EHOSTUNREACH, WSAEHOSTUNREACH},
    {EUSERS, WSAEUSERS},
    {EDQUOT, WSAEDQUOT},
    {ESTALE, WSAESTALE},
    {EREMOTE, WSAEREMOTE},
};

sockaddr_in ToSockaddr(const SocketAddress& a)
{
    sockaddr_in s{};
    s.sin_family = AF_INET;
    s.sin_port = htons(a.port);
    s.sin_addr.s_addr = htonl(a.ipv4);
    return s;
}

// Minus the Windows Sockets number of an errno value.
long Failed(int err) { return -static_cast<long>(MapSocketErrno(err)); }

class PosixSocketIo : public ISocketIo {
public:
    ~PosixSocketIo() override { Close(); }

    long Open(int type, const SocketAddress& local) override
    {
        m_fd = ::socket(AF_INET, type | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        if (m_fd < 0) return Failed(errno);
        sockaddr_in s = ToSockaddr(local);
        if (::bind(m_fd, reinterpret_cast<const sockaddr*>(&s), sizeof s) < 0) {
            int e = errno;
            Close();
            return Failed(e);
        }
        return 0;
    }
    long StartConnect(const SocketAddress& remote) override
    {
        sockaddr_in s = ToSockaddr(remote);
        if (::connect(m_fd, reinterpret_cast<const sockaddr*>(&s), sizeof s) == 0) return 0;
        // Interrupted by a signal, the connection goes on being made.
        if (errno == EINTR || errno == EINPROGRESS) return -kSocketWouldBlock;
        return Failed(errno);
    }
    long FinishConnect() override
    {
        pollfd p{m_fd, POLLOUT, 0};
        int r = ::poll(&p, 1, 0);
        if (r < 0) return errno == EINTR ? -kSocketWouldBlock : Failed(errno);
        if (r == 0) return -kSocketWouldBlock;
        int err = 0;
        socklen_t len = sizeof err;
        if (::getsockopt(m_fd, SOL_SOCKET, SO_ERROR, &err, &len) < 0) return Failed(errno);
        if (err == EINPROGRESS) return -kSocketWouldBlock;
        return err ? Failed(err) : 0;
    }
    long Recv(void* buffer, std::size_t length, int flags) override
    {
        for (;;) {
            ssize_t n = ::recv(m_fd, buffer, length, flags);
            if (n >= 0) return static_cast<long>(n);
            if (errno != EINTR) return Failed(errno);
        }
    }
    long Send(const void* buffer, std::size_t length, int flags) override
    {
        for (;;) {
            ssize_t n = ::send(m_fd, buffer, length, flags | MSG_NOSIGNAL);
            if (n >= 0) return static_cast<long>(n);
            if (errno != EINTR) return Failed(errno);
        }
    }
    long Shutdown(int how) override { return ::shutdown(m_fd, how) == 0 ? 0 : Failed(errno); }
    void Close() override
    {
        if (m_fd >= 0) ::close(m_fd);
        m_fd = -1;
    }
    SocketHandle WaitHandle() const override { return m_fd >= 0 ? static_cast<SocketHandle>(m_fd) : kNoSocketHandle; }

private:
    int m_fd = -1;
};

}  // namespace

int MapSocketErrno(int err)
{
    if (err == 0) return 0;
    for (const auto& e : kErrnoTable)
        if (e.posix == err) return e.wsa;
    return WSAENETDOWN;
}

int MapAddrInfoError(int eaiError, int sysErrno)
{
    switch (eaiError) {
    case 0: return 0;
    case EAI_NONAME: return WSAHOST_NOT_FOUND;
    case EAI_AGAIN: return WSATRY_AGAIN;
    case EAI_FAIL: return WSANO_RECOVERY;
#ifdef EAI_NODATA
    case EAI_NODATA: return WSANO_DATA;
#endif
#ifdef EAI_ADDRFAMILY
    case EAI_ADDRFAMILY: return WSANO_DATA;
#endif
    case EAI_FAMILY: return WSAEAFNOSUPPORT;
    case EAI_SOCKTYPE: return WSAESOCKTNOSUPPORT;
    case EAI_SERVICE: return WSAEINVAL;
    case EAI_BADFLAGS: return WSAEINVAL;
    case EAI_MEMORY: return WSAENOBUFS;
    case EAI_OVERFLOW: return WSAEFAULT;
    case EAI_SYSTEM: return MapSocketErrno(sysErrno);
    default: return WSANO_RECOVERY;
    }
}

std::unique_ptr<ISocketIo> MakeSystemSocketIo() { return std::make_unique<PosixSocketIo>(); }

int StartSystemSockets() { return 0; }

bool ParseIPv4(const char* text, std::uint32_t* out)
{
    in_addr a{};
    if (!text || ::inet_pton(AF_INET, text, &a) != 1) return false;
    *out = ntohl(a.s_addr);
    return true;
}

int ResolveIPv4(const char* host, std::uint32_t* out)
{
    if (!host) return WSAEINVAL;
    if (ParseIPv4(host, out)) return 0;
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    int r = ::getaddrinfo(host, nullptr, &hints, &found);
    if (r != 0 || !found) {
        int err = errno;
        if (found) ::freeaddrinfo(found);
        return r != 0 ? MapAddrInfoError(r, err) : WSANO_DATA;
    }
    *out = ntohl(reinterpret_cast<const sockaddr_in*>(found->ai_addr)->sin_addr.s_addr);
    ::freeaddrinfo(found);
    return 0;
}
