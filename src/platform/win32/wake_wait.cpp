// The Windows twin of the plain wait: an auto-reset event for the wake-up; a socket wait
// selects the socket's events into a second event (WSAEventSelect) and sleeps in
// WaitForMultipleObjects on both.
#include "platform/wake_wait.h"

#include <winsock2.h>

namespace {

constexpr std::uintptr_t kNone = ~std::uintptr_t(0);

HANDLE H(std::uintptr_t h) { return reinterpret_cast<HANDLE>(h); }

std::uintptr_t MakeEvent()
{
    HANDLE e = ::CreateEventW(nullptr, FALSE, FALSE, nullptr);
    return e ? reinterpret_cast<std::uintptr_t>(e) : kNone;
}

// A look without waiting: the socket readable (forWrite: writable, or its connection
// attempt over, which the exception set tells).
bool ReadyNow(SOCKET s, bool forWrite)
{
    fd_set rw, x;
    FD_ZERO(&rw);
    FD_ZERO(&x);
    FD_SET(s, &rw);
    FD_SET(s, &x);
    timeval now{0, 0};
    int r = forWrite ? ::select(0, nullptr, &rw, &x, &now) : ::select(0, &rw, nullptr, &x, &now);
    return r != 0;  // an error counts as ready: the call that follows reports it
}

}  // namespace

WakeWait::WakeWait() : m_handle(MakeEvent()), m_socketEvent(MakeEvent()) {}

WakeWait::~WakeWait()
{
    if (m_handle != kNone) ::CloseHandle(H(m_handle));
    if (m_socketEvent != kNone) ::CloseHandle(H(m_socketEvent));
}

void WakeWait::Wake()
{
    if (m_handle != kNone) ::SetEvent(H(m_handle));
}

void WakeWait::Drain()
{
    if (m_handle != kNone) ::WaitForSingleObject(H(m_handle), 0);
}

int WakeWait::Wait(SocketHandle socket, bool forWrite, int timeoutMs)
{
    const bool withSocket = socket != kNoSocketHandle;
    const SOCKET s = withSocket ? static_cast<SOCKET>(socket) : INVALID_SOCKET;
    // FD_WRITE is signalled on a change only: a socket that is writable already is
    // found by looking first.
    if (withSocket && ReadyNow(s, forWrite)) return 1;

    DWORD limit = timeoutMs < 0 ? INFINITE : static_cast<DWORD>(timeoutMs);
    if (m_handle == kNone && (timeoutMs < 0 || timeoutMs > 50)) limit = 50;
    HANDLE handles[2];
    DWORD count = 0;
    if (m_handle != kNone) handles[count++] = H(m_handle);
    bool selected = false;
    if (withSocket && m_socketEvent != kNone) {
        const long events = forWrite ? (FD_WRITE | FD_CONNECT | FD_CLOSE) : (FD_READ | FD_CLOSE | FD_ACCEPT);
        ::ResetEvent(H(m_socketEvent));
        selected = ::WSAEventSelect(s, H(m_socketEvent), events) == 0;
        if (selected) handles[count++] = H(m_socketEvent);
        // What became ready between the look and the selection.
        if (selected && ReadyNow(s, forWrite)) {
            ::WSAEventSelect(s, nullptr, 0);
            return 1;
        }
    }
    if (withSocket && !selected && (timeoutMs < 0 || timeoutMs > 50)) limit = 50;

    DWORD r = count ? ::WaitForMultipleObjects(count, handles, FALSE, limit) : (::Sleep(limit), WAIT_TIMEOUT);
    // The socket stays non-blocking after its events are deselected.
    if (selected) ::WSAEventSelect(s, nullptr, 0);
    if (r == WAIT_TIMEOUT || r == WAIT_FAILED) return withSocket && !selected && ReadyNow(s, forWrite) ? 1 : 0;
    HANDLE woke = handles[r - WAIT_OBJECT_0];
    if (woke == H(m_socketEvent)) return 1;
    return 0;
}
