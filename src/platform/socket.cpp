#include "platform/socket.h"

#include "platform/clock.h"
#include "platform/msgqueue.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <poll.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdint>
#include <utility>

namespace {

std::atomic<bool> g_socketsStarted{false};
std::atomic<bool> g_initMustFail{false};
thread_local int t_lastError = 0;
SocketIoFactory g_ioFactory;

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

// A socket without a descriptor (scripted transport) still needs a handle that is not
// INVALID_SOCKET.
constexpr SOCKET kHandleWithoutFd = 0x7FFF0000;

class PosixSocketIo : public ISocketIo {
public:
    ~PosixSocketIo() override { Close(); }

    long Open(int type, const sockaddr_in& local) override
    {
        m_fd = ::socket(AF_INET, type | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        if (m_fd < 0) return -errno;
        if (::bind(m_fd, reinterpret_cast<const sockaddr*>(&local), sizeof local) < 0) {
            int e = errno;
            Close();
            return -e;
        }
        return 0;
    }
    long StartConnect(const sockaddr_in& remote) override
    {
        if (::connect(m_fd, reinterpret_cast<const sockaddr*>(&remote), sizeof remote) == 0) return 0;
        // Interrupted by a signal, the connection goes on being made.
        if (errno == EINTR) return -EINPROGRESS;
        return -errno;
    }
    long FinishConnect() override
    {
        pollfd p{m_fd, POLLOUT, 0};
        int r = ::poll(&p, 1, 0);
        if (r < 0) return errno == EINTR ? -EINPROGRESS : -errno;
        if (r == 0) return -EINPROGRESS;
        int err = 0;
        socklen_t len = sizeof err;
        if (::getsockopt(m_fd, SOL_SOCKET, SO_ERROR, &err, &len) < 0) return -errno;
        return err ? -err : 0;
    }
    long Recv(void* buffer, std::size_t length, int flags) override
    {
        for (;;) {
            ssize_t n = ::recv(m_fd, buffer, length, flags);
            if (n >= 0) return static_cast<long>(n);
            if (errno != EINTR) return -errno;
        }
    }
    long Send(const void* buffer, std::size_t length, int flags) override
    {
        for (;;) {
            ssize_t n = ::send(m_fd, buffer, length, flags | MSG_NOSIGNAL);
            if (n >= 0) return static_cast<long>(n);
            if (errno != EINTR) return -errno;
        }
    }
    long Shutdown(int how) override { return ::shutdown(m_fd, how) == 0 ? 0 : -errno; }
    void Close() override
    {
        if (m_fd >= 0) ::close(m_fd);
        m_fd = -1;
    }
    int WaitFd() const override { return m_fd; }

private:
    int m_fd = -1;
};

void SetError(int wsaError) { t_lastError = wsaError; }
void SetErrorFromErrno(long negErrno) { t_lastError = MapSocketErrno(static_cast<int>(-negErrno)); }

// The checks and error numbers Receive and Send share around one transfer of the
// transport: move(length) returns the byte count or minus an errno value.
template <class Move>
int TransferBytes(const ISocketIo* io, const void* buffer, int length, Move move)
{
    if (!io) {
        SetError(WSAENOTSOCK);
        return SOCKET_ERROR;
    }
    if (length < 0 || (!buffer && length > 0)) {
        SetError(WSAEFAULT);
        return SOCKET_ERROR;
    }
    long n = move(static_cast<std::size_t>(length));
    if (n < 0) {
        SetErrorFromErrno(n);
        return SOCKET_ERROR;
    }
    return static_cast<int>(n);
}

}  // namespace

// ---------------------------------------------------------------------------
// Start-up, errors, transport

BOOL AfxSocketInit()
{
    if (g_initMustFail) return FALSE;
    g_socketsStarted = true;
    return TRUE;
}

void SetSocketInitFailure(bool fail)
{
    g_initMustFail = fail;
    if (fail) g_socketsStarted = false;
}

int WSAGetLastError() { return t_lastError; }

void WSASetLastError(int error) { t_lastError = error; }

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

void SetSocketIoFactory(SocketIoFactory factory) { g_ioFactory = std::move(factory); }

std::unique_ptr<ISocketIo> MakePosixSocketIo() { return std::make_unique<PosixSocketIo>(); }

// ---------------------------------------------------------------------------
// CAsyncSocket

CAsyncSocket::CAsyncSocket() = default;

CAsyncSocket::~CAsyncSocket() { CAsyncSocket::Close(); }

BOOL CAsyncSocket::Create(UINT port, int type, const char* address)
{
    if (!g_socketsStarted) {
        SetError(WSANOTINITIALISED);
        return FALSE;
    }
    if (m_pIo) Close();

    sockaddr_in local{};
    local.sin_family = AF_INET;
    // The port is a 16-bit field; the framework cuts larger numbers the same way.
    local.sin_port = htons(static_cast<std::uint16_t>(port));
    local.sin_addr.s_addr = htonl(INADDR_ANY);
    if (address && *address && ::inet_pton(AF_INET, address, &local.sin_addr) != 1) {
        SetError(WSAEINVAL);
        return FALSE;
    }

    std::unique_ptr<ISocketIo> io = g_ioFactory ? g_ioFactory() : MakePosixSocketIo();
    if (!io) {
        SetError(WSAENOBUFS);
        return FALSE;
    }
    long r = io->Open(type, local);
    if (r < 0) {
        io->Close();
        SetErrorFromErrno(r);
        return FALSE;
    }
    m_hSocket = io->WaitFd() >= 0 ? io->WaitFd() : kHandleWithoutFd;
    m_pIo = std::move(io);
    return TRUE;
}

BOOL CAsyncSocket::Connect(const char* host, UINT port)
{
    if (!m_pIo) {
        SetError(WSAENOTSOCK);
        return FALSE;
    }
    if (!host) {
        SetError(WSAEINVAL);
        return FALSE;
    }
    sockaddr_in remote{};
    remote.sin_family = AF_INET;
    remote.sin_port = htons(static_cast<std::uint16_t>(port));
    if (::inet_pton(AF_INET, host, &remote.sin_addr) != 1) {
        addrinfo hints{};
        hints.ai_family = AF_INET;
        hints.ai_socktype = SOCK_STREAM;
        addrinfo* found = nullptr;
        if (::getaddrinfo(host, nullptr, &hints, &found) != 0 || !found) {
            if (found) ::freeaddrinfo(found);
            // The framework reports every failed lookup as an invalid argument.
            SetError(WSAEINVAL);
            return FALSE;
        }
        remote.sin_addr = reinterpret_cast<const sockaddr_in*>(found->ai_addr)->sin_addr;
        ::freeaddrinfo(found);
    }
    return ConnectHelper(remote);
}

BOOL CAsyncSocket::ConnectHelper(const sockaddr_in& remote)
{
    long r = m_pIo->StartConnect(remote);
    if (r == 0) return TRUE;
    // A connection under way is "would block" to the framework's non-blocking socket.
    if (r == -EINPROGRESS)
        SetError(WSAEWOULDBLOCK);
    else
        SetErrorFromErrno(r);
    return FALSE;
}

int CAsyncSocket::Receive(void* buffer, int length, int flags)
{
    ISocketIo* io = m_pIo.get();
    return TransferBytes(io, buffer, length, [&](std::size_t n) { return io->Recv(buffer, n, flags); });
}

int CAsyncSocket::Send(const void* buffer, int length, int flags)
{
    ISocketIo* io = m_pIo.get();
    return TransferBytes(io, buffer, length, [&](std::size_t n) { return io->Send(buffer, n, flags); });
}

BOOL CAsyncSocket::ShutDown(int how)
{
    if (!m_pIo) {
        SetError(WSAENOTSOCK);
        return FALSE;
    }
    long r = m_pIo->Shutdown(how);
    if (r < 0) {
        SetErrorFromErrno(r);
        return FALSE;
    }
    return TRUE;
}

void CAsyncSocket::Close()
{
    if (m_pIo) {
        m_pIo->Close();
        m_pIo.reset();
    }
    m_hSocket = INVALID_SOCKET;
}

// ---------------------------------------------------------------------------
// CSocket

CSocket::CSocket() = default;

CSocket::~CSocket() { CSocket::Close(); }

void CSocket::Close()
{
    if (m_pIo) CancelBlockingCall();
    CAsyncSocket::Close();
}

void CSocket::CancelBlockingCall()
{
    if (m_bBlocking) m_bCancelled = true;
}

BOOL CSocket::OnMessagePending()
{
    MSG msg;
    if (::PeekMessage(&msg, 0, WM_PAINT, WM_PAINT, PM_REMOVE)) ::DispatchMessage(&msg);
    return FALSE;
}

BOOL CSocket::PumpMessages(bool forWrite)
{
    OnBlockingWait();
    BlockingCallScope holdInput;
    m_bBlocking = true;
    m_bCancelled = false;
    bool ready = false;
    while (!m_bCancelled) {
        // Timers due by now are seen by the look at the queue below; the sleep then only
        // ends for a timer that falls due later, so a due timer OnMessagePending leaves
        // alone does not make this loop spin. Posted messages wake the sleep themselves.
        std::int64_t lookedAt = GetClock()->NowMs();
        MSG msg;
        if (::PeekMessage(&msg, 0, 0, 0, PM_NOREMOVE)) {
            OnMessagePending();
            if (m_bCancelled) break;
        }
        if (!m_pIo) break;  // closed from inside OnMessagePending
        int hint = m_pIo->MsUntilReady(forWrite);
        if (hint == 0) {
            ready = true;
            break;
        }
        int timeout = MsUntilNextTimerAfter(lookedAt);
        if (hint > 0 && (timeout < 0 || hint < timeout)) timeout = hint;
        if (GetEventBackend()->WaitForSocket(m_pIo->WaitFd(), forWrite, timeout) == 1) {
            ready = true;
            break;
        }
    }
    m_bBlocking = false;
    if (!ready) {
        SetError(WSAEINTR);
        return FALSE;
    }
    return TRUE;
}

BOOL CSocket::ConnectHelper(const sockaddr_in& remote)
{
    if (m_bBlocking) {
        SetError(WSAEINPROGRESS);
        return FALSE;
    }
    long r = m_pIo->StartConnect(remote);
    if (r == 0) return TRUE;
    // EALREADY: an earlier attempt on this socket, ended by its time-out, is still under
    // way; waiting for it is what the next attempt means.
    if (r != -EINPROGRESS && r != -EALREADY) {
        SetErrorFromErrno(r);
        return FALSE;
    }
    for (;;) {
        if (!PumpMessages(true)) return FALSE;
        if (!m_pIo) {
            SetError(WSAENOTSOCK);
            return FALSE;
        }
        long c = m_pIo->FinishConnect();
        if (c == 0) return TRUE;
        if (c != -EINPROGRESS && c != -EALREADY) {
            SetErrorFromErrno(c);
            return FALSE;
        }
    }
}

int CSocket::Receive(void* buffer, int length, int flags)
{
    if (m_bBlocking) {
        SetError(WSAEINPROGRESS);
        return SOCKET_ERROR;
    }
    for (;;) {
        int n = CAsyncSocket::Receive(buffer, length, flags);
        if (n != SOCKET_ERROR || WSAGetLastError() != WSAEWOULDBLOCK) return n;
        if (!PumpMessages(false)) return SOCKET_ERROR;
    }
}

int CSocket::SendChunk(const unsigned char* buffer, int length, int flags)
{
    for (;;) {
        int n = CAsyncSocket::Send(buffer, length, flags);
        if (n != SOCKET_ERROR || WSAGetLastError() != WSAEWOULDBLOCK) return n;
        if (!PumpMessages(true)) return SOCKET_ERROR;
    }
}

int CSocket::Send(const void* buffer, int length, int flags)
{
    if (m_bBlocking) {
        SetError(WSAEINPROGRESS);
        return SOCKET_ERROR;
    }
    if (length < 0 || (!buffer && length > 0)) {
        SetError(WSAEFAULT);
        return SOCKET_ERROR;
    }
    const auto* p = static_cast<const unsigned char*>(buffer);
    int left = length;
    while (left > 0) {
        int n = SendChunk(p, left, flags);
        if (n == SOCKET_ERROR) return SOCKET_ERROR;
        left -= n;
        p += n;
    }
    return length;
}
