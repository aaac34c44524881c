// Event backend on the window system's own message queue (see msgqueue.h for the
// contract). The glue half: the native calls go through win32_native.h.
#pragma once

#include "platform/msgqueue.h"
#include "platform/wake_wait.h"

#include <cstdint>

class Win32EventBackend : public IEventBackend {
public:
    Win32EventBackend();
    ~Win32EventBackend() override;
    Win32EventBackend(const Win32EventBackend&) = delete;
    Win32EventBackend& operator=(const Win32EventBackend&) = delete;

    void ProcessEvents(bool deferredDeletes) override;
    void WaitForEvents(int timeoutMs) override;
    void Wake() override;
    int WaitForSocket(SocketHandle socket, bool forWrite, int timeoutMs) override;
    void BeginBlockingCall() override;
    void EndBlockingCall() override;

private:
    // Shortest time between two looks at the window system's messages from PeekMessage.
    static constexpr std::int64_t kEventSliceMs = 4;
    std::int64_t m_lastEventsMs = 0;
    bool m_bInputReleased = false;  // held input was given back; the next look takes it
    WakeWait m_wake;                // the queue's wake-up: an event object
};
