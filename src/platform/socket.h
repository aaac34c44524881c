// The framework's sockets: CAsyncSocket (non-blocking) and CSocket (blocking), on the
// system's transport (platform/socket_transport.h: POSIX sockets or WinSock), reporting errors
// with the Windows Sockets numbers the program expects.
//
// Contract:
// - AfxSocketInit must succeed before a socket can be created; until then Create fails
//   with 10093. Tests can make AfxSocketInit fail with SetSocketInitFailure(true).
// - Every call that fails returns FALSE (or -1 for Receive/Send) and leaves a Windows
//   Sockets error number in the thread's last socket error (WSAGetLastError). POSIX
//   errors are turned into those numbers by one table (posix/socket_errno.h); WinSock
//   gives them itself. A host name that cannot be looked up fails Connect with
//   WSAEINVAL, as the framework reports it; ResolveIPv4 gives a caller that wants the
//   lookup's reason the finer number.
// - Only IPv4 (AF_INET) is supported, as by the sockets layer the program was written for.
// - CSocket's Connect, Receive and Send block. While they wait, the thread's message queue
//   keeps moving the way the framework does it: whenever a message is waiting (a posted
//   one or a due timer), OnMessagePending is called; the base version dispatches one
//   waiting WM_PAINT and returns FALSE. Between those calls the thread sleeps in the event
//   backend's WaitForSocket until the socket is ready, a timer falls due, or a new message
//   is posted: there is no polling interval and no busy waiting, also while a message that
//   OnMessagePending leaves alone stays queued. CancelBlockingCall (from OnMessagePending,
//   on the same thread) ends the wait and the call fails with 10004. A second blocking
//   call on the same socket while one waits fails with 10036.
// - A host text is read as a dotted IPv4 address first, then looked up by name (the lookup
//   blocks without pumping messages); a failed lookup makes Connect fail with 10022.
// - Close cancels a waiting blocking call; after Close the object can be created again.
// - The transport under a socket is an ISocketIo made by the installed factory (the
//   system's by default); tests install a scripted one (platform/scripted_socket.h).
#pragma once

#include "platform/socket_transport.h"
#include "platform/wintypes.h"

#include <cstddef>
#include <functional>
#include <memory>

// The socket types Create takes, with the numbers every system gives them. Where the
// system's own header is there it defines them (and a file may include it too).
#if __has_include(<sys/socket.h>)
#include <sys/socket.h>
#else
constexpr int SOCK_STREAM = 1;
constexpr int SOCK_DGRAM = 2;
#endif

using SOCKET = SocketHandle;
constexpr SOCKET INVALID_SOCKET = kNoSocketHandle;
constexpr int SOCKET_ERROR = -1;

// Windows Sockets error numbers the layer produces.
constexpr int WSAEINTR = 10004;
constexpr int WSAEACCES = 10013;
constexpr int WSAEFAULT = 10014;
constexpr int WSAEINVAL = 10022;
constexpr int WSAEMFILE = 10024;
constexpr int WSAEWOULDBLOCK = 10035;
constexpr int WSAEINPROGRESS = 10036;
constexpr int WSAEALREADY = 10037;
constexpr int WSAENOTSOCK = 10038;
constexpr int WSAEDESTADDRREQ = 10039;
constexpr int WSAEMSGSIZE = 10040;
constexpr int WSAEPROTOTYPE = 10041;
constexpr int WSAENOPROTOOPT = 10042;
constexpr int WSAEPROTONOSUPPORT = 10043;
constexpr int WSAESOCKTNOSUPPORT = 10044;
constexpr int WSAEOPNOTSUPP = 10045;
constexpr int WSAEPFNOSUPPORT = 10046;
constexpr int WSAEAFNOSUPPORT = 10047;
constexpr int WSAEADDRINUSE = 10048;
constexpr int WSAEADDRNOTAVAIL = 10049;
constexpr int WSAENETDOWN = 10050;
constexpr int WSAENETUNREACH = 10051;
constexpr int WSAENETRESET = 10052;
constexpr int WSAECONNABORTED = 10053;
constexpr int WSAECONNRESET = 10054;
constexpr int WSAENOBUFS = 10055;
constexpr int WSAEISCONN = 10056;
constexpr int WSAENOTCONN = 10057;
constexpr int WSAESHUTDOWN = 10058;
constexpr int WSAETOOMANYREFS = 10059;
constexpr int WSAETIMEDOUT = 10060;
constexpr int WSAECONNREFUSED = 10061;
constexpr int WSAELOOP = 10062;
constexpr int WSAENAMETOOLONG = 10063;
constexpr int WSAEHOSTDOWN = 10064;
constexpr int WSAEHOSTUNREACH = 10065;
constexpr int WSAEUSERS = 10068;
constexpr int WSAEDQUOT = 10069;
constexpr int WSAESTALE = 10070;
constexpr int WSAEREMOTE = 10071;
constexpr int WSANOTINITIALISED = 10093;
constexpr int WSAHOST_NOT_FOUND = 11001;
constexpr int WSATRY_AGAIN = 11002;
constexpr int WSANO_RECOVERY = 11003;
constexpr int WSANO_DATA = 11004;

// Starts the sockets layer. FALSE when start-up fails (only when a test asked for it).
BOOL AfxSocketInit();
// Makes every later AfxSocketInit fail (true) or succeed (false). For tests.
void SetSocketInitFailure(bool fail);

// The calling thread's last socket error.
int WSAGetLastError();
void WSASetLastError(int error);

// Installs the transport used by every later Create; an empty factory restores the
// system's.
void SetSocketIoFactory(SocketIoFactory factory);

class CAsyncSocket {
public:
    CAsyncSocket();
    virtual ~CAsyncSocket();
    CAsyncSocket(const CAsyncSocket&) = delete;
    CAsyncSocket& operator=(const CAsyncSocket&) = delete;

    // The socket's handle: the system's, INVALID_SOCKET when not created.
    SOCKET m_hSocket = INVALID_SOCKET;

    // Makes a socket of the type bound to port and to the local address text (null or
    // empty: any local address). A socket still open is closed first.
    BOOL Create(UINT port = 0, int type = SOCK_STREAM, const char* address = nullptr);
    // Connects to host (dotted IPv4 or name) and port. The non-blocking socket fails with
    // WSAEWOULDBLOCK while the connection is being made; CSocket waits for it.
    BOOL Connect(const char* host, UINT port);
    // Returns bytes received (0: the peer closed) or SOCKET_ERROR; never waits here.
    virtual int Receive(void* buffer, int length, int flags = 0);
    // Returns bytes sent (possibly fewer) or SOCKET_ERROR; never waits here.
    virtual int Send(const void* buffer, int length, int flags = 0);
    // how: 0 receive, 1 send, 2 both.
    BOOL ShutDown(int how = 2);
    virtual void Close();

protected:
    virtual BOOL ConnectHelper(const SocketAddress& remote);
    // The transport, null while not created.
    std::unique_ptr<ISocketIo> m_pIo;
};

class CSocket : public CAsyncSocket {
public:
    CSocket();
    ~CSocket() override;

    int Receive(void* buffer, int length, int flags = 0) override;
    // Keeps sending until every byte went or the call fails.
    int Send(const void* buffer, int length, int flags = 0) override;
    void Close() override;

    BOOL IsBlocking() const { return m_bBlocking ? TRUE : FALSE; }
    // Ends the waiting blocking call (it fails with WSAEINTR); nothing when none waits.
    void CancelBlockingCall();
    // Called while a blocking call waits and a message is waiting. The base dispatches one
    // waiting WM_PAINT and returns FALSE.
    virtual BOOL OnMessagePending();

protected:
    BOOL ConnectHelper(const SocketAddress& remote) override;
    // Waits until the transport may be ready again, keeping the queue moving. FALSE with
    // WSAEINTR when the call was cancelled.
    BOOL PumpMessages(bool forWrite);
    // Called each time a blocking call is about to wait, before its first look at the
    // queue. A call whose transport is ready at once (data already received, room to
    // send) never waits and never calls it.
    virtual void OnBlockingWait() {}

private:
    int SendChunk(const unsigned char* buffer, int length, int flags);

    bool m_bBlocking = false;
    bool m_bCancelled = false;
};
