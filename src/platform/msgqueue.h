// The thread's message queue and window timers.
//
// Contract:
// - Messages are posted to window handles and kept in order of posting. Posting to a
//   handle that is not (or no longer) a window succeeds; the message is dropped when it
//   would be dispatched. PostMessage may be called from any thread; everything else
//   belongs to the user-interface thread.
// - WM_TIMER messages are made on demand, as the window system does: when no posted
//   message matches a retrieval, the earliest due timer that matches yields one WM_TIMER
//   (wParam = timer id). Removing it re-arms the timer one period later. A timer whose
//   window is destroyed, or that is killed, yields nothing more.
// - GetMessage sleeps until there is work (posted message, due timer or window-system
//   event): no busy waiting, no polling interval. It returns FALSE for WM_QUIT.
// - PeekMessage first lets the window system deliver its pending events, then looks.
// - DispatchMessage calls the target window's WindowProc; messages for destroyed
//   windows are dropped (result 0).
#pragma once

#include "platform/socket_transport.h"
#include "platform/wintypes.h"

#include <cstdint>
#include <functional>

BOOL PostMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
BOOL PeekMessage(MSG* msg, HWND hwnd, UINT filterMin, UINT filterMax, UINT removeFlags);
BOOL GetMessage(MSG* msg, HWND hwnd, UINT filterMin, UINT filterMax);
BOOL TranslateMessage(const MSG* msg);
LRESULT DispatchMessage(const MSG* msg);
void PostQuitMessage(int exitCode);
// Sends synchronously: calls the window's WindowProc now. 0 for a handle that is no window.
LRESULT SendMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

// Window timers, keyed by (window, id). SetTimer returns the id (nonzero) or 0 on failure
// (no such window). Setting an existing (window, id) again restarts it with the new period.
UINT_PTR SetTimer(HWND hwnd, UINT_PTR id, UINT elapseMs);
BOOL KillTimer(HWND hwnd, UINT_PTR id);

// Runs the thread's message loop until WM_QUIT; returns its exit code.
int RunMessageLoop();

// A nested message loop, run from inside a handler. Every loop of the program other
// than the outermost one goes through here, so WM_QUIT and re-entrance are dealt with
// in one place.
//
// Contract:
// - Waiting messages are removed, translated and dispatched in the order they were
//   posted (due timers after posted messages, as GetMessage takes them).
// - done is looked at before each message; once it holds the pump returns Done, and
//   the messages still waiting stay queued.
// - A posted message for which hold returns true is not dispatched: it stays queued, in
//   its place, for the loop outside, and the messages behind it still run. Timers and
//   WM_QUIT are never held.
// - WM_QUIT is taken, posted again for the outermost loop, and the pump returns Quit.
// - wait false: returns Empty as soon as nothing but held messages is waiting. wait
//   true: sleeps (no spinning) until a message, a timer or window-system input comes,
//   and returns only for Done or Quit.
//
// Which messages may run inside, per caller (the re-entrance each one allows):
// - modal dialog loop (CDialog::DoModal) and prompts (message boxes, Save As): every
//   message, as under the window system's own modal loops; done = the dialog ended.
// - the program's step loops (connecting, sending a job, receiving the listing or a
//   file): every message except the program's operation steps, which are held so
//   that a step never runs inside another step; sending and receiving also stop
//   (done) as soon as a cancel step is waiting, leaving it to the dispatcher.
enum class PumpResult { Done, Empty, Quit };
struct PumpRules {
    std::function<bool()> done;            // null: never done
    std::function<bool(const MSG&)> hold;  // null: nothing held
    bool wait = false;
    // With wait: a time of GetClock() the sleep never goes past, so a done that looks
    // at the clock is seen in time. -1: no limit.
    std::int64_t wakeAt = -1;
};
PumpResult PumpUntil(const PumpRules& rules);

// Number of messages waiting (posted ones only; timers not counted). For tests.
int PostedMessageCount();
// Drops every posted message and timer and clears the quit flag. For tests.
void ResetMessageQueue();

// Observer of queue traffic, for tests that compare message chains.
class IMessageObserver {
public:
    virtual ~IMessageObserver() = default;
    virtual void OnPosted(const MSG& msg) { (void)msg; }
    virtual void OnDispatched(const MSG& msg) { (void)msg; }
};
void SetMessageObserver(IMessageObserver* observer);

// The window system behind the queue. The Qt and Win32 back ends install one; without
// it a plain implementation sleeps in the system's wait (platform/wake_wait.h) or, with a
// manual clock, advances the clock instead of sleeping.
class IEventBackend {
public:
    virtual ~IEventBackend() = default;
    // Delivers pending window-system events without waiting. deferredDeletes: the
    // caller is the outermost loop and windows marked for deletion may now be freed.
    virtual void ProcessEvents(bool deferredDeletes) = 0;
    // Sleeps until a window-system event, Wake(), or timeoutMs (-1: no limit) and
    // delivers the events that arrived.
    virtual void WaitForEvents(int timeoutMs) = 0;
    // Wakes a WaitForEvents from any thread.
    virtual void Wake() = 0;
    // For blocking socket calls: waits until the socket (a descriptor on POSIX, a SOCKET
    // on Windows; kNoSocketHandle: none) is readable (or writable, or its connection
    // attempt ended), Wake(), or timeoutMs, delivering only repaints meanwhile (user
    // input is held back, except a close request on a dialog registered for it).
    // Returns 1 when the socket is ready, 0 otherwise.
    virtual int WaitForSocket(SocketHandle socket, bool forWrite, int timeoutMs) = 0;
    // Bracket a whole blocking socket call: from Begin to End user input is held back
    // (delivered in order after End), also while the call looks at the queue.
    virtual void BeginBlockingCall() {}
    virtual void EndBlockingCall() {}
};

void SetEventBackend(IEventBackend* backend);  // null restores the plain backend
IEventBackend* GetEventBackend();

// Holds user input back for its lifetime (a blocking socket call).
class BlockingCallScope {
public:
    BlockingCallScope() { GetEventBackend()->BeginBlockingCall(); }
    ~BlockingCallScope() { GetEventBackend()->EndBlockingCall(); }
    BlockingCallScope(const BlockingCallScope&) = delete;
    BlockingCallScope& operator=(const BlockingCallScope&) = delete;
};

// Nesting depth of DispatchMessage calls on the stack (0 in the outermost loop).
int DispatchDepth();

// Milliseconds until the earliest timer is due (0 when one is due now), -1 without timers.
int MsUntilNextTimer();
// The same, counting only timers due later than afterMs (a time of GetClock()): a loop that
// looked at the queue at afterMs and left a due timer there sleeps until the next one.
int MsUntilNextTimerAfter(std::int64_t afterMs);
