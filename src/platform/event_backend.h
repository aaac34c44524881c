// What the event back ends on a window system (Qt on Linux, Win32 on Windows) share:
// how often a loop really looks at the window system's events, and how a wait behaves
// on a manual clock. Each back end supplies the three native calls; the rules are here.
//
// Contract (on top of IEventBackend's, msgqueue.h):
// - ProcessEvents looks at the window system at most once every kEventSliceMs: a loop
//   that asks tens of thousands of times a second (a transfer's receive loop) would
//   otherwise spend its time in the window system. The outermost loop (deferredDeletes),
//   a manual clock, and the first look after held input was given back always look.
// - On a manual clock nothing sleeps: a wait looks once, then moves the clock by its
//   limit (a wait for a socket only when the socket is not ready). A socket wait
//   without a limit still waits for real.
#pragma once

#include "platform/msgqueue.h"

#include <cstdint>

class EventBackendBase : public IEventBackend {
public:
    void ProcessEvents(bool deferredDeletes) final;
    void WaitForEvents(int timeoutMs) final;
    int WaitForSocket(SocketHandle socket, bool forWrite, int timeoutMs) final;

    // Shortest time between two looks at the window system's events from ProcessEvents.
    static constexpr std::int64_t kEventSliceMs = 4;

protected:
    // Held input was given back (EndBlockingCall): the next ProcessEvents delivers it.
    void NoteInputReleased() { m_bInputReleased = true; }

    // Delivers the window system's waiting events without sleeping; deferredDeletes as
    // in ProcessEvents.
    virtual void DispatchWaiting(bool deferredDeletes) = 0;
    // Sleeps until a window-system event, Wake() or timeoutMs (> 0, or -1: no limit) and
    // delivers what arrived.
    virtual void WaitAndDispatch(int timeoutMs) = 0;
    // The whole blocking wait for a socket on the system (BeginBlockingCall to
    // EndBlockingCall around it): 1 when the socket is ready, 0 after Wake() or timeoutMs
    // (0: only looks; -1: no limit).
    virtual int WaitForSocketOrWake(SocketHandle socket, bool forWrite, int timeoutMs) = 0;

private:
    std::int64_t m_lastEventsMs = 0;
    bool m_bInputReleased = false;
};
