// The wait of a thread without a window system (the plain event back end of the queue,
// the command-line tool): a wake-up any thread can signal, and a sleep that ends at the
// wake-up, at one socket becoming ready, or at a time limit. Standard types only: its
// twins are platform/posix/wake_wait.cpp (an eventfd and poll()) and
// platform/win32/wake_wait.cpp (an event object, WSAEventSelect and
// WaitForMultipleObjects).
//
// Contract:
// - Wake() may be called from any thread, and on POSIX from a signal handler; wake-ups
//   that come while nobody waits are kept (one is enough) for the next Wait().
// - Wait(socket, forWrite, timeoutMs) returns 1 as soon as the socket (kNoSocketHandle:
//   none) is readable (forWrite: writable, or its connection attempt ended), 0 after a
//   wake-up or timeoutMs (-1: no limit; 0: only looks). A wake-up it returns for is used
//   up. A socket that is closed or failed counts as ready: the call that follows tells
//   why.
// - When the wake-up cannot be made (out of handles), Wait falls back to slices of at
//   most 50 ms, so a wake-up is late but never lost.
#pragma once

#include "platform/socket_transport.h"

class WakeWait {
public:
    WakeWait();
    ~WakeWait();
    WakeWait(const WakeWait&) = delete;
    WakeWait& operator=(const WakeWait&) = delete;

    void Wake();
    int Wait(SocketHandle socket, bool forWrite, int timeoutMs);
    // Uses up a pending wake-up without waiting.
    void Drain();
    // The wake-up's system handle (the eventfd, or the event's HANDLE) for a back end
    // that waits on it together with its own sources; ~0 when none could be made.
    std::uintptr_t Handle() const { return m_handle; }

private:
    std::uintptr_t m_handle;
    std::uintptr_t m_socketEvent;  // Windows: the event a socket wait selects into
};
