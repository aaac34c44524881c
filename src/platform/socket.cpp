#include "platform/socket.h"

#include "platform/clock.h"
#include "platform/msgqueue.h"

#include <atomic>
#include <cstdint>
#include <utility>

namespace {

std::atomic<bool> g_socketsStarted{false};
std::atomic<bool> g_initMustFail{false};
thread_local int t_lastError = 0;
SocketIoFactory g_ioFactory;

// A socket without a descriptor (scripted transport) still needs a handle that is not
// INVALID_SOCKET.
constexpr SOCKET kHandleWithoutFd = 0x7FFF0000;

void SetError(int wsaError) { t_lastError = wsaError; }
// A transport's failure: minus a Windows Sockets number.
void SetErrorFrom(long negError) { t_lastError = static_cast<int>(-negError); }

// The checks and error numbers Receive and Send share around one transfer of the
// transport: move(length) returns the byte count or minus a Windows Sockets number.
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
        SetErrorFrom(n);
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
    if (int err = StartSystemSockets()) {
        SetError(err);
        return FALSE;
    }
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

void SetSocketIoFactory(SocketIoFactory factory) { g_ioFactory = std::move(factory); }

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

    SocketAddress local;
    // The port is a 16-bit field; the framework cuts larger numbers the same way.
    local.port = static_cast<std::uint16_t>(port);
    if (address && *address && !ParseIPv4(address, &local.ipv4)) {
        SetError(WSAEINVAL);
        return FALSE;
    }

    std::unique_ptr<ISocketIo> io = g_ioFactory ? g_ioFactory() : MakeSystemSocketIo();
    if (!io) {
        SetError(WSAENOBUFS);
        return FALSE;
    }
    long r = io->Open(type, local);
    if (r < 0) {
        io->Close();
        SetErrorFrom(r);
        return FALSE;
    }
    m_hSocket = io->WaitHandle() != kNoSocketHandle ? io->WaitHandle() : kHandleWithoutFd;
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
    SocketAddress remote;
    remote.port = static_cast<std::uint16_t>(port);
    if (ResolveIPv4(host, &remote.ipv4) != 0) {
        // The framework reports every failed lookup as an invalid argument.
        SetError(WSAEINVAL);
        return FALSE;
    }
    return ConnectHelper(remote);
}

BOOL CAsyncSocket::ConnectHelper(const SocketAddress& remote)
{
    long r = m_pIo->StartConnect(remote);
    if (r == 0) return TRUE;
    // A connection under way is "would block" to the framework's non-blocking socket.
    SetErrorFrom(r);
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
        SetErrorFrom(r);
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
        if (GetEventBackend()->WaitForSocket(m_pIo->WaitHandle(), forWrite, timeout) == 1) {
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

BOOL CSocket::ConnectHelper(const SocketAddress& remote)
{
    if (m_bBlocking) {
        SetError(WSAEINPROGRESS);
        return FALSE;
    }
    long r = m_pIo->StartConnect(remote);
    if (r == 0) return TRUE;
    // Already: an earlier attempt on this socket, ended by its time-out, is still under
    // way; waiting for it is what the next attempt means.
    if (r != -kSocketWouldBlock && r != -kSocketAlready) {
        SetErrorFrom(r);
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
        if (c != -kSocketWouldBlock && c != -kSocketAlready) {
            SetErrorFrom(c);
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
