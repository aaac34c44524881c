#include "platform/win32/win32_backend.h"

#include "platform/clock.h"
#include "platform/dialog.h"
#include "platform/win32/win32_native.h"
#include "platform/win32/win32_windows.h"

#include <cstdint>

Win32EventBackend::Win32EventBackend()
{
    native::EventHooks hooks;
    hooks.pumpLayerQueue = [] { PumpUntil(PumpRules{}); };
    hooks.msUntilNextTimer = [] { return MsUntilNextTimer(); };
    hooks.postCloseRequest = [](void* window) {
        const HWND dialog = Win32DialogHandleOf(window);
        MSG request;
        if (!dialog || !PlatformGetBlockingCloseRequest(dialog, &request)) return false;
        ::PostMessage(request.hwnd, request.message, request.wParam, request.lParam);
        return true;
    };
    native::InitEvents(hooks, m_wake.Handle());
}

Win32EventBackend::~Win32EventBackend() { native::ShutdownEvents(); }

void Win32EventBackend::ProcessEvents(bool deferredDeletes)
{
    // A receive loop looks at the queue tens of thousands of times a second, and each
    // look at the window system's queue costs a round trip: between looks a few
    // milliseconds apart, input and repaints simply wait for the next one. The
    // outermost loop, a manual clock, and the first look after a blocking call gave
    // input back always look.
    if (!deferredDeletes && !m_bInputReleased && !GetClock()->IsManual()) {
        const std::int64_t now = GetClock()->NowMs();
        if (now - m_lastEventsMs < kEventSliceMs && now >= m_lastEventsMs) return;
        m_lastEventsMs = now;
    }
    m_bInputReleased = false;
    native::DispatchWaiting(deferredDeletes);
}

void Win32EventBackend::WaitForEvents(int timeoutMs)
{
    IClock* clock = GetClock();
    if (clock->IsManual()) {
        native::DispatchWaiting(false);
        if (timeoutMs > 0) clock->SleepFor(timeoutMs);
        return;
    }
    if (timeoutMs == 0) {
        native::DispatchWaiting(false);
        return;
    }
    native::WaitForMessagesOrWake(timeoutMs);
}

void Win32EventBackend::Wake() { native::WakeEvents(); }

int Win32EventBackend::WaitForSocket(SocketHandle socket, bool forWrite, int timeoutMs)
{
    IClock* clock = GetClock();
    // User input waits until the call is over; repaints go on.
    BeginBlockingCall();
    int ready;
    if (clock->IsManual() && timeoutMs >= 0) {
        // Tests on a manual clock: one look, then the clock moves instead of sleeping.
        ready = native::WaitForSocketOrWake(socket, forWrite, 0);
        if (!ready && timeoutMs > 0) clock->SleepFor(timeoutMs);
    } else {
        ready = native::WaitForSocketOrWake(socket, forWrite, timeoutMs);
    }
    EndBlockingCall();
    return ready;
}

void Win32EventBackend::BeginBlockingCall() { native::BeginHoldingInput(); }

void Win32EventBackend::EndBlockingCall()
{
    if (native::EndHoldingInput()) m_bInputReleased = true;
}
