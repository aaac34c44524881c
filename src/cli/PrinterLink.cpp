// A plain blocking TCP client with poll() deadlines, for the command-line tool.
#include "cli/PrinterLink.h"

#include "cli/Status.h"

#include "platform/resources.h"
#include "platform/socket.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

volatile std::sig_atomic_t g_nStopSignal = 0;

namespace {

int MsUntil(QbxClock::time_point deadline)
{
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - QbxClock::now()).count();
    return left <= 0 ? 0 : static_cast<int>(std::min<long long>(left, 1 << 30));
}

bool ResolveIPv4(const std::string& host, in_addr& out)
{
    if (inet_pton(AF_INET, host.c_str(), &out) == 1) return true;
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* res = nullptr;
    if (getaddrinfo(host.c_str(), nullptr, &hints, &res) != 0 || !res) return false;
    out = reinterpret_cast<sockaddr_in*>(res->ai_addr)->sin_addr;
    freeaddrinfo(res);
    return true;
}

}  // namespace

const char* SocketErrorText(int wsaError) { return GetStringRes(static_cast<UINT>(wsaError)); }

bool CPrinterLink::Fail(int wsaError)
{
    m_nLastError = wsaError;
    return false;
}

int CPrinterLink::WaitReady(short events, int ms)
{
    pollfd p{m_fd, events, 0};
    int r = ::poll(&p, 1, ms);
    if (m_pWait) m_pWait->Tick();
    if (r > 0) return 1;
    if (r == 0) return 0;
    // A signal ends the wait early; the caller looks at the stop flag and the deadline.
    return errno == EINTR ? 0 : -1;
}

bool CPrinterLink::Connect(const PrinterTarget& target, QbxClock::time_point deadline)
{
    Close();
    sockaddr_in remote{};
    remote.sin_family = AF_INET;
    remote.sin_port = htons(static_cast<uint16_t>(target.port));
    if (target.port <= 0 || target.port > 65535 || !ResolveIPv4(target.host, remote.sin_addr)) return Fail(WSAEINVAL);
    sockaddr_in local{};
    local.sin_family = AF_INET;
    if (!target.bindIP.empty() && inet_pton(AF_INET, target.bindIP.c_str(), &local.sin_addr) != 1)
        return Fail(WSAEADDRNOTAVAIL);

    for (;;) {
        if (g_nStopSignal) return Fail(WSAEINTR);
        m_fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        if (m_fd < 0) return Fail(MapSocketErrno(errno));
        if (::bind(m_fd, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0) {
            int e = errno;
            Close();
            return Fail(MapSocketErrno(e));
        }
        auto attemptEnd = std::min(deadline, QbxClock::now() + std::chrono::milliseconds(kConnectMs));
        int err = 0;
        if (::connect(m_fd, reinterpret_cast<sockaddr*>(&remote), sizeof remote) != 0) err = errno;
        while (err == EINPROGRESS) {
            if (g_nStopSignal) {
                Close();
                return Fail(WSAEINTR);
            }
            int left = MsUntil(attemptEnd);
            if (left == 0) break;
            int r = WaitReady(POLLOUT, left);
            if (r < 0) {
                err = errno;
                break;
            }
            if (r == 0) continue;
            socklen_t sl = sizeof err;
            if (::getsockopt(m_fd, SOL_SOCKET, SO_ERROR, &err, &sl) != 0) err = errno;
        }
        if (err == 0) return true;
        Close();
        if (err != EINPROGRESS) return Fail(MapSocketErrno(err));
        // This attempt timed out: a printer that is only slow to accept gets another
        // until the deadline.
        if (MsUntil(deadline) == 0) return Fail(WSAETIMEDOUT);
    }
}

bool CPrinterLink::SendAll(const char* data, std::size_t len, QbxClock::time_point deadline)
{
    if (m_fd < 0) return Fail(WSAENOTSOCK);
    std::size_t sent = 0;
    while (sent < len) {
        if (g_nStopSignal) return Fail(WSAEINTR);
        ssize_t n = ::send(m_fd, data + sent, len - sent, MSG_NOSIGNAL);
        if (n > 0) {
            sent += static_cast<std::size_t>(n);
            continue;
        }
        if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) return Fail(MapSocketErrno(errno));
        int left = MsUntil(deadline);
        if (left == 0) return Fail(WSAETIMEDOUT);
        if (WaitReady(POLLOUT, std::min(left, kReceiveMs)) < 0) return Fail(MapSocketErrno(errno));
    }
    return true;
}

long CPrinterLink::Receive(char* buffer, std::size_t len, QbxClock::time_point deadline)
{
    if (m_fd < 0) return Fail(WSAENOTSOCK), -1;
    for (;;) {
        if (g_nStopSignal) return Fail(WSAEINTR), -1;
        ssize_t n = ::recv(m_fd, buffer, len, 0);
        if (n >= 0) return static_cast<long>(n);
        if (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) return Fail(MapSocketErrno(errno)), -1;
        // Nothing yet: wait a receive's time-out at most, and again while the
        // deadline allows, so a slow printer is waited for and a silent one is not
        // waited for for ever.
        int left = MsUntil(deadline);
        if (left == 0) return Fail(WSAETIMEDOUT), -1;
        if (WaitReady(POLLIN, std::min(left, kReceiveMs)) < 0) return Fail(MapSocketErrno(errno)), -1;
    }
}

void CPrinterLink::Close()
{
    if (m_fd < 0) return;
    ::shutdown(m_fd, SHUT_RDWR);
    ::close(m_fd);
    m_fd = -1;
}

void CPrinterLink::Finish(QbxClock::time_point deadline)
{
    if (m_fd < 0) return;
    ::shutdown(m_fd, SHUT_WR);
    char sink[4096];
    while (Receive(sink, sizeof sink, deadline) > 0) {
    }
    Close();
}
