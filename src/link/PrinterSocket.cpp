#include "link/PrinterSocket.h"

#include "app/QbxMessages.h"
#include "platform/app.h"
#include "platform/msgqueue.h"

#include <cstring>

CPrinterSocket::CPrinterSocket() : m_nTimerID(0) {}

CPrinterSocket::~CPrinterSocket() = default;

void CPrinterSocket::AttachToMainWindow() { m_pTimerWnd = AfxGetMainWnd(); }

void CPrinterSocket::StartTimer(UINT ms)
{
    // A timer that cannot be started (no window) leaves 0: the call then runs untimed.
    m_nTimerID = m_pTimerWnd ? static_cast<UINT>(m_pTimerWnd->SetTimer(SOCKET_TIMER_ID, ms)) : 0;
}

void CPrinterSocket::StopTimer()
{
    if (m_pTimerWnd) m_pTimerWnd->KillTimer(m_nTimerID);
}

void CPrinterSocket::CancelCall()
{
    if (m_nTimerID != 0) StopTimer();
    m_nTimerID = 0;
    if (IsBlocking()) CancelBlockingCall();
}

void CPrinterSocket::BeginTimedCall(UINT ms)
{
    m_nCallTimeoutMs = ms;
    m_bTimerStarted = false;
}

void CPrinterSocket::OnBlockingWait()
{
    // The time the call spent before its first wait is a matter of microseconds (one
    // look at the socket), so the whole time-out still lies ahead.
    if (m_nCallTimeoutMs == 0 || m_bTimerStarted) return;
    m_bTimerStarted = true;
    StartTimer(m_nCallTimeoutMs);
}

void CPrinterSocket::EndTimedCall(bool failed, UINT ms)
{
    m_nCallTimeoutMs = 0;
    if (ms == 0) return;
    if (m_bTimerStarted) StopTimer();
    m_bTimerStarted = false;
    if (failed && WSAGetLastError() == QBX_WSAEINTR) WSASetLastError(QBX_WSAETIMEDOUT);
}

BOOL CPrinterSocket::ConnectWithTimeout(const char* host, UINT port, UINT ms)
{
    BeginTimedCall(ms);
    BOOL connected = Connect(host, port);
    EndTimedCall(!connected, ms);
    return connected;
}

int CPrinterSocket::ReceiveWithTimeout(void* buffer, int length, UINT ms, int flags)
{
    BeginTimedCall(ms);
    int n = Receive(buffer, length, flags);
    EndTimedCall(n == SOCKET_ERROR, ms);
    return n;
}

int CPrinterSocket::SendWithTimeout(const char* text, UINT ms, int flags)
{
    BeginTimedCall(ms);
    int length = text ? static_cast<int>(std::strlen(text)) : 0;
    int n = Send(text, length, flags);
    EndTimedCall(n == SOCKET_ERROR, ms);
    return n;
}

BOOL CPrinterSocket::OnMessagePending()
{
    MSG msg;
    // The user asked to close the program: end the wait now and leave the request queued,
    // so the frame sees it once the call has returned.
    if (::PeekMessage(&msg, 0, WM_QBX_MAINDLG, WM_QBX_MAINDLG, PM_NOREMOVE) && msg.lParam == QBX_MAINDLG_EXIT) {
        CancelCall();
        return CSocket::OnMessagePending();
    }
    // The first waiting timer tick of the thread, whatever its window: when it carries the
    // id of the time-out timer, the time is up. Only the id is compared.
    if (::PeekMessage(&msg, 0, WM_TIMER, WM_TIMER, PM_NOREMOVE) && msg.wParam == m_nTimerID) {
        ::PeekMessage(&msg, msg.hwnd, WM_TIMER, WM_TIMER, PM_REMOVE);
        CancelBlockingCall();
        return CSocket::OnMessagePending();
    }
    return CSocket::OnMessagePending();
}
