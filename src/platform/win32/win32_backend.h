// Event backend on the window system's own message queue (see msgqueue.h for the
// contract, and event_backend.h for what it shares with the Qt one). The glue half:
// the native calls go through win32_native.h.
#pragma once

#include "platform/event_backend.h"
#include "platform/wake_wait.h"

class Win32EventBackend : public EventBackendBase {
public:
    Win32EventBackend();
    ~Win32EventBackend() override;
    Win32EventBackend(const Win32EventBackend&) = delete;
    Win32EventBackend& operator=(const Win32EventBackend&) = delete;

    void Wake() override;
    void BeginBlockingCall() override;
    void EndBlockingCall() override;

protected:
    void DispatchWaiting(bool deferredDeletes) override;
    void WaitAndDispatch(int timeoutMs) override;
    int WaitForSocketOrWake(SocketHandle socket, bool forWrite, int timeoutMs) override;

private:
    WakeWait m_wake;  // the queue's wake-up: an event object
};
