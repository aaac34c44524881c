#include "loopback_printer.h"

#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
using Sock = SOCKET;
using Len = int;
constexpr int kShutSend = SD_SEND;
Sock S(PeerHandle h) { return static_cast<Sock>(h); }
void CloseSock(PeerHandle h) { ::closesocket(S(h)); }
#else
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>
using Sock = int;
using Len = socklen_t;
constexpr int kShutSend = SHUT_WR;
Sock S(PeerHandle h) { return static_cast<Sock>(h); }
void CloseSock(PeerHandle h) { ::close(S(h)); }
#endif

LoopbackPrinter::LoopbackPrinter(bool listening)
{
#ifdef _WIN32
    WSADATA data;
    ::WSAStartup(MAKEWORD(2, 2), &data);
    Sock fd = ::socket(AF_INET, SOCK_STREAM, 0);
    if (fd == INVALID_SOCKET) return;
#else
    Sock fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return;
#endif
    m_listener = static_cast<PeerHandle>(fd);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) return;
    if (listening && ::listen(fd, 8) != 0) return;
    Len len = sizeof a;
    if (::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len) == 0) m_port = ntohs(a.sin_port);
}

LoopbackPrinter::~LoopbackPrinter()
{
    for (PeerHandle p : m_peers) CloseSock(p);
    if (m_listener != -1) CloseSock(m_listener);
}

PeerHandle LoopbackPrinter::Accept()
{
    if (m_listener == -1) return -1;
    Sock peer = ::accept(S(m_listener), nullptr, nullptr);
#ifdef _WIN32
    if (peer == INVALID_SOCKET) return -1;
#else
    if (peer < 0) return -1;
#endif
    m_peers.push_back(static_cast<PeerHandle>(peer));
    return static_cast<PeerHandle>(peer);
}

std::string LoopbackPrinter::ReadAll(PeerHandle peer)
{
    std::string all;
    char buf[65536];
    for (;;) {
        const auto n = ::recv(S(peer), buf, sizeof buf, 0);
        if (n <= 0) break;
        all.append(buf, static_cast<std::size_t>(n));
    }
    return all;
}

long LoopbackPrinter::Send(PeerHandle peer, const std::string& bytes)
{
    return static_cast<long>(::send(S(peer), bytes.data(), static_cast<int>(bytes.size()), 0));
}

void LoopbackPrinter::ShutdownSending(PeerHandle peer) { ::shutdown(S(peer), kShutSend); }
