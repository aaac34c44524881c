#include "platform/win32/win32_backend.h"

#include "platform/dialog.h"
#include "platform/win32/win32_native.h"
#include "platform/win32/win32_windows.h"

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

void Win32EventBackend::DispatchWaiting(bool deferredDeletes) { native::DispatchWaiting(deferredDeletes); }

void Win32EventBackend::WaitAndDispatch(int timeoutMs) { native::WaitForMessagesOrWake(timeoutMs); }

void Win32EventBackend::Wake() { native::WakeEvents(); }

int Win32EventBackend::WaitForSocketOrWake(SocketHandle socket, bool forWrite, int timeoutMs)
{
    // User input waits until the call is over; repaints go on.
    BeginBlockingCall();
    const int ready = native::WaitForSocketOrWake(socket, forWrite, timeoutMs);
    EndBlockingCall();
    return ready;
}

void Win32EventBackend::BeginBlockingCall() { native::BeginHoldingInput(); }

void Win32EventBackend::EndBlockingCall()
{
    if (native::EndHoldingInput()) NoteInputReleased();
}
