// The POSIX twin of the plain wait: an eventfd for the wake-up, poll() for the sleep.
#include "platform/wake_wait.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cstdint>

namespace {

constexpr std::uintptr_t kNone = ~std::uintptr_t(0);

int Fd(std::uintptr_t h) { return h == kNone ? -1 : static_cast<int>(h); }

}  // namespace

WakeWait::WakeWait() : m_handle(kNone), m_socketEvent(kNone)
{
    int fd = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (fd >= 0) m_handle = static_cast<std::uintptr_t>(fd);
}

WakeWait::~WakeWait()
{
    if (m_handle != kNone) ::close(Fd(m_handle));
}

void WakeWait::Wake()
{
    if (m_handle == kNone) return;
    std::uint64_t one = 1;
    ssize_t r = ::write(Fd(m_handle), &one, sizeof one);
    (void)r;  // a full counter (EAGAIN) is already a pending wake-up
}

void WakeWait::Drain()
{
    if (m_handle == kNone) return;
    std::uint64_t count = 0;
    ssize_t r = ::read(Fd(m_handle), &count, sizeof count);
    (void)r;
}

int WakeWait::Wait(SocketHandle socket, bool forWrite, int timeoutMs)
{
    const int fd = socket == kNoSocketHandle ? -1 : static_cast<int>(socket);
    pollfd p[2] = {{fd, static_cast<short>(forWrite ? POLLOUT : POLLIN), 0}, {Fd(m_handle), POLLIN, 0}};
    int limit = timeoutMs;
    if (m_handle == kNone && (limit < 0 || limit > 50)) limit = 50;
    int r = ::poll(p, 2, limit);
    if (r <= 0) return 0;
    if (p[1].revents) Drain();
    return (fd >= 0 && p[0].revents) ? 1 : 0;
}
