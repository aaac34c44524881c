// The Windows twin of the sockets' transport: WinSock, non-blocking sockets. WinSock's
// own error numbers are the ones the program shows, so they pass through unchanged.
#include "platform/socket_transport.h"

#include <winsock2.h>
#include <ws2tcpip.h>

#include <mutex>

namespace {

long Failed() { return -static_cast<long>(WSAGetLastError()); }

sockaddr_in ToSockaddr(const SocketAddress& a)
{
    sockaddr_in s{};
    s.sin_family = AF_INET;
    s.sin_port = htons(a.port);
    s.sin_addr.s_addr = htonl(a.ipv4);
    return s;
}

class WinSockIo : public ISocketIo {
public:
    ~WinSockIo() override { Close(); }

    long Open(int type, const SocketAddress& local) override
    {
        m_socket = ::WSASocketW(AF_INET, type, 0, nullptr, 0, WSA_FLAG_OVERLAPPED | WSA_FLAG_NO_HANDLE_INHERIT);
        if (m_socket == INVALID_SOCKET) return Failed();
        u_long nonBlocking = 1;
        sockaddr_in s = ToSockaddr(local);
        if (::ioctlsocket(m_socket, FIONBIO, &nonBlocking) != 0 ||
            ::bind(m_socket, reinterpret_cast<const sockaddr*>(&s), sizeof s) != 0) {
            long e = Failed();
            Close();
            return e;
        }
        return 0;
    }
    long StartConnect(const SocketAddress& remote) override
    {
        sockaddr_in s = ToSockaddr(remote);
        if (::connect(m_socket, reinterpret_cast<const sockaddr*>(&s), sizeof s) == 0) return 0;
        int e = WSAGetLastError();
        // A connection under way is "would block" here, as in the framework.
        if (e == WSAEWOULDBLOCK || e == WSAEINPROGRESS) return -kSocketWouldBlock;
        return -static_cast<long>(e);
    }
    long FinishConnect() override
    {
        // Connected: writable. Failed: in the exception set, with the reason in SO_ERROR.
        fd_set w, x;
        FD_ZERO(&w);
        FD_ZERO(&x);
        FD_SET(m_socket, &w);
        FD_SET(m_socket, &x);
        timeval now{0, 0};
        int r = ::select(0, nullptr, &w, &x, &now);
        if (r < 0) return Failed();
        if (r == 0) return -kSocketWouldBlock;
        if (FD_ISSET(m_socket, &w)) return 0;
        int err = 0;
        int len = sizeof err;
        if (::getsockopt(m_socket, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&err), &len) != 0) return Failed();
        return err ? -static_cast<long>(err) : -static_cast<long>(WSAECONNREFUSED);
    }
    long Recv(void* buffer, std::size_t length, int flags) override
    {
        int n = ::recv(m_socket, static_cast<char*>(buffer), Clamp(length), flags);
        return n >= 0 ? static_cast<long>(n) : Failed();
    }
    long Send(const void* buffer, std::size_t length, int flags) override
    {
        int n = ::send(m_socket, static_cast<const char*>(buffer), Clamp(length), flags);
        return n >= 0 ? static_cast<long>(n) : Failed();
    }
    long Shutdown(int how) override { return ::shutdown(m_socket, how) == 0 ? 0 : Failed(); }
    void Close() override
    {
        if (m_socket != INVALID_SOCKET) ::closesocket(m_socket);
        m_socket = INVALID_SOCKET;
    }
    SocketHandle WaitHandle() const override
    {
        return m_socket != INVALID_SOCKET ? static_cast<SocketHandle>(m_socket) : kNoSocketHandle;
    }

private:
    static int Clamp(std::size_t n) { return n > 0x7FFFFFFF ? 0x7FFFFFFF : static_cast<int>(n); }

    SOCKET m_socket = INVALID_SOCKET;
};

}  // namespace

std::unique_ptr<ISocketIo> MakeSystemSocketIo() { return std::make_unique<WinSockIo>(); }

int StartSystemSockets()
{
    // Once per process; WinSock stays started until the process ends.
    static std::once_flag once;
    static int result = 0;
    std::call_once(once, [] {
        WSADATA data;
        result = ::WSAStartup(MAKEWORD(2, 2), &data);
    });
    return result;
}

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
    if (int err = StartSystemSockets()) return err;
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    // getaddrinfo's results are Windows Sockets numbers (WSAHOST_NOT_FOUND, ...).
    int r = ::getaddrinfo(host, nullptr, &hints, &found);
    if (r != 0 || !found) {
        if (found) ::freeaddrinfo(found);
        return r != 0 ? r : WSANO_DATA;
    }
    *out = ntohl(reinterpret_cast<const sockaddr_in*>(found->ai_addr)->sin_addr.s_addr);
    ::freeaddrinfo(found);
    return 0;
}
