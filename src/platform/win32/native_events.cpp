// The window system's side of the event back end (the native half; see win32_native.h):
// the thread's native messages, the wake-up event, input held during blocking socket
// calls, and a hidden helper window that keeps the layer's queue running inside the
// window system's own modal loops.
// WinSock first: it must come before <windows.h>.
#include <winsock2.h>

#include "platform/win32/native_internal.h"
#include "platform/win32/win32_native.h"

#include <algorithm>
#include <atomic>

namespace native {

namespace {

constexpr UINT kWakeMessage = WM_APP + 1;
constexpr UINT_PTR kHelperTimer = 1;
// At most this many native messages per look: a window that keeps posting to itself
// must not keep the layer's queue from running.
constexpr int kMessagesPerLook = 200;

EventHooks g_hooks;
HANDLE g_wake = nullptr;
HWND g_helper = nullptr;
WSAEVENT g_socketEvent = WSA_INVALID_EVENT;
std::atomic<int> g_nativeModal{0};
bool g_inHelperPump = false;
int g_holding = 0;
std::vector<MSG> g_held;  // input (and close boxes) kept for after a blocking call
bool g_escTaken = false;  // an Esc went as a close request; its release is dropped

void ArmHelperTimer()
{
    if (!g_helper) return;
    const int ms = g_hooks.msUntilNextTimer ? g_hooks.msUntilNextTimer() : -1;
    if (ms < 0)
        KillTimer(g_helper, kHelperTimer);
    else
        SetTimer(g_helper, kHelperTimer, static_cast<UINT>(std::max(ms, USER_TIMER_MINIMUM)), nullptr);
}

LRESULT CALLBACK HelperProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == kWakeMessage || (message == WM_TIMER && wParam == kHelperTimer)) {
        // Only a window-system modal loop needs this road; the layer's own loops run the
        // queue themselves.
        if (g_nativeModal.load() > 0 && !g_inHelperPump && g_hooks.pumpLayerQueue) {
            g_inHelperPump = true;
            g_hooks.pumpLayerQueue();
            g_inHelperPump = false;
            ArmHelperTimer();
        } else if (message == WM_TIMER) {
            KillTimer(hwnd, kHelperTimer);
        }
        return 0;
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

bool IsKeyboard(UINT m) { return m >= WM_KEYFIRST && m <= WM_KEYLAST; }
bool IsMouse(UINT m) { return (m >= WM_MOUSEFIRST && m <= WM_MOUSELAST) || (m >= WM_NCMOUSEMOVE && m <= 0x00AD); }
bool IsMouseMove(UINT m)
{
    return m == WM_MOUSEMOVE || m == WM_NCMOUSEMOVE || m == WM_MOUSEHOVER || m == WM_MOUSELEAVE ||
           m == WM_NCMOUSEHOVER || m == WM_NCMOUSELEAVE;
}

HWND DialogOf(HWND hwnd)
{
    HWND root = hwnd ? GetAncestor(hwnd, GA_ROOT) : nullptr;
    return root && IsOurDialog(root) ? root : nullptr;
}

// While input is held: keeps msg for later, or turns a close request into the
// dialog's registered one. True when msg was taken.
bool HoldIfInput(const MSG& msg)
{
    const UINT m = msg.message;
    if (!IsKeyboard(m) && !IsMouse(m)) return false;
    if (IsMouseMove(m)) return true;  // not worth keeping
    HWND dialog = DialogOf(msg.hwnd);
    const bool esc = (m == WM_KEYDOWN || m == WM_KEYUP) && msg.wParam == VK_ESCAPE;
    // The close box arrives as a click on it (the X11 driver sends the window
    // manager's close button the same way).
    const bool closeBox = m == WM_NCLBUTTONDOWN && msg.wParam == HTCLOSE;
    if (dialog && esc && m == WM_KEYUP && g_escTaken) {
        g_escTaken = false;  // the release of an Esc taken as a close request goes too
        return true;
    }
    if (dialog && (esc || closeBox) && m != WM_KEYUP) {
        if (g_hooks.postCloseRequest && g_hooks.postCloseRequest(dialog)) {
            g_escTaken = esc;
            return true;
        }
        if (closeBox) {
            // Closing it is still the user's wish, only later.
            g_held.push_back(MSG{dialog, WM_CLOSE, 0, 0, msg.time, msg.pt});
            return true;
        }
    }
    g_held.push_back(msg);
    return true;
}

void DispatchOne(MSG& msg)
{
    if (HWND dialog = DialogOf(msg.hwnd)) {
        if (IsDialogMessageW(dialog, &msg)) return;
    }
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
}

}  // namespace

bool TakeCloseWhileHolding(HWND dialog)
{
    if (g_holding == 0) return false;
    if (g_hooks.postCloseRequest && g_hooks.postCloseRequest(dialog)) return true;
    g_held.push_back(MSG{dialog, WM_CLOSE, 0, 0, static_cast<DWORD>(GetMessageTime()), {}});
    return true;
}

void InitEvents(const EventHooks& hooks, std::uintptr_t wakeEvent)
{
    g_hooks = hooks;
    g_wake = wakeEvent == ~std::uintptr_t{0} ? nullptr : reinterpret_cast<HANDLE>(wakeEvent);
    if (!g_helper) {
        WNDCLASSEXW wc{};
        wc.cbSize = sizeof wc;
        wc.lpfnWndProc = HelperProc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = L"QuillboxQueueHelper";
        RegisterClassExW(&wc);
        g_helper =
            CreateWindowExW(0, wc.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance, nullptr);
    }
}

void ShutdownEvents()
{
    if (g_helper) DestroyWindow(g_helper);
    g_helper = nullptr;
    if (g_socketEvent != WSA_INVALID_EVENT) WSACloseEvent(g_socketEvent);
    g_socketEvent = WSA_INVALID_EVENT;
    g_hooks = EventHooks{};
    g_wake = nullptr;
}

void DispatchWaiting(bool freeDialogs)
{
    MSG msg;
    for (int n = 0; n < kMessagesPerLook && PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE); ++n) {
        if (msg.message == WM_QUIT) continue;  // the layer keeps its own quit
        if (g_holding > 0 && HoldIfInput(msg)) continue;
        DispatchOne(msg);
    }
    if (freeDialogs) FreeDestroyedDialogs();
}

void WaitForMessagesOrWake(int timeoutMs)
{
    DWORD limit = timeoutMs < 0 ? INFINITE : static_cast<DWORD>(timeoutMs);
    // Without a wake-up event (none could be made) the wait is cut into short slices.
    if (!g_wake && limit > 50) limit = 50;
    const DWORD r = MsgWaitForMultipleObjectsEx(g_wake ? 1 : 0, &g_wake, limit, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
    if (g_wake && r == WAIT_OBJECT_0) ResetEvent(g_wake);  // this wake-up is used up
    DispatchWaiting(false);
}

void WakeEvents()
{
    if (g_wake) SetEvent(g_wake);
    if (g_nativeModal.load() > 0 && g_helper) PostMessageW(g_helper, kWakeMessage, 0, 0);
}

void BeginHoldingInput() { ++g_holding; }

bool EndHoldingInput()
{
    if (g_holding == 0 || --g_holding > 0) return false;
    // Given back in order behind what is waiting now, as if it had just come.
    std::vector<MSG> held;
    held.swap(g_held);
    for (const MSG& m : held) PostMessageW(m.hwnd, m.message, m.wParam, m.lParam);
    return !held.empty();
}

bool HoldingInput() { return g_holding > 0; }

int WaitForSocketOrWake(std::uintptr_t socket, bool forWrite, int timeoutMs)
{
    const SOCKET s = static_cast<SOCKET>(socket);
    const bool haveSocket = s != INVALID_SOCKET;
    if (haveSocket && g_socketEvent == WSA_INVALID_EVENT) g_socketEvent = WSACreateEvent();
    HANDLE handles[2];
    DWORD count = 0;
    if (haveSocket && g_socketEvent != WSA_INVALID_EVENT) {
        WSAResetEvent(g_socketEvent);
        // Selecting records a condition that already holds, so nothing is missed.
        const long events = forWrite ? (FD_WRITE | FD_CONNECT | FD_CLOSE) : (FD_READ | FD_ACCEPT | FD_CLOSE);
        if (WSAEventSelect(s, g_socketEvent, events) == 0) handles[count++] = g_socketEvent;
    }
    const DWORD socketIndex = count ? 0 : MAXDWORD;
    const DWORD wakeIndex = g_wake ? count : MAXDWORD;
    if (g_wake) handles[count++] = g_wake;
    DWORD limit = timeoutMs < 0 ? INFINITE : static_cast<DWORD>(timeoutMs);
    if (!g_wake && limit > 50) limit = 50;
    const DWORD r = MsgWaitForMultipleObjectsEx(count, handles, limit, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
    bool ready = r == WAIT_OBJECT_0 + socketIndex;
    if (r == WAIT_OBJECT_0 + wakeIndex) ResetEvent(g_wake);
    if (r == WAIT_OBJECT_0 + count) DispatchWaiting(false);  // repaints and the like; the caller holds input
    if (socketIndex == 0) WSAEventSelect(s, nullptr, 0);
    if (!ready && haveSocket) {
        fd_set set;
        FD_ZERO(&set);
        FD_SET(s, &set);
        timeval zero{0, 0};
        ready = select(0, forWrite ? nullptr : &set, forWrite ? &set : nullptr, nullptr, &zero) > 0;
    }
    return ready ? 1 : 0;
}

void BeginNativeModal()
{
    ++g_nativeModal;
    // What the layer had waiting already runs at once inside the modal loop.
    if (g_helper) PostMessageW(g_helper, kWakeMessage, 0, 0);
    ArmHelperTimer();
}

void EndNativeModal()
{
    if (--g_nativeModal == 0 && g_helper) KillTimer(g_helper, kHelperTimer);
}

}  // namespace native
