#include "socket_fixture.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

TestShell::TestShell()
{
    frame.CreateHandleOnly();
    app.m_pMainWnd = &frame;
}

LoopbackPrinter::LoopbackPrinter(bool listening)
{
    m_fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (m_fd < 0 || ::bind(m_fd, reinterpret_cast<sockaddr*>(&a), sizeof a) < 0) return;
    if (listening && ::listen(m_fd, 8) < 0) return;
    socklen_t len = sizeof a;
    if (::getsockname(m_fd, reinterpret_cast<sockaddr*>(&a), &len) == 0) m_port = ntohs(a.sin_port);
}

LoopbackPrinter::~LoopbackPrinter()
{
    for (int p : m_peers) ::close(p);
    if (m_fd >= 0) ::close(m_fd);
}

int LoopbackPrinter::Accept()
{
    int peer = ::accept(m_fd, nullptr, nullptr);
    if (peer >= 0) m_peers.push_back(peer);
    return peer;
}

std::string LoopbackPrinter::ReadAll(int peer)
{
    std::string all;
    char buf[65536];
    for (;;) {
        ssize_t n = ::recv(peer, buf, sizeof buf, 0);
        if (n <= 0) break;
        all.append(buf, static_cast<std::size_t>(n));
    }
    return all;
}
