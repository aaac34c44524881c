// CPrinterSocket: the program's one TCP connection to the printer, a blocking socket
// whose connect, receive and send each take a time-out in milliseconds.
//
// The time-out is window timer 1 (SOCKET_TIMER_ID) on the main window, started when a
// timed call first has to wait and killed at its end; a call that finds its data or its
// room already there (the receives of a transfer, nearly always) sets no timer at all. While a call blocks, OnMessagePending
// ends it when that timer's WM_TIMER is waiting, or at once when the main dialog has asked
// to close the program (WM_QBX_MAINDLG with QBX_MAINDLG_EXIT, left queued for the frame). A timed
// call ended either way fails with 10060, like a network time-out, so every caller treats
// a time-out, a cancelled wait and a slow printer alike. A call with a time-out of 0 runs
// without the timer, and a wait cancelled by a close request then keeps 10004.
#pragma once

#include "platform/socket.h"
#include "platform/wnd.h"

class CPrinterSocket : public CSocket {
public:
    CPrinterSocket();
    ~CPrinterSocket() override;

    // Takes the current thread's main window (the hidden frame) as owner of the timer.
    void AttachToMainWindow();
    // Nonzero when connected; host is a dotted address or a name to look up.
    BOOL ConnectWithTimeout(const char* host, UINT port, UINT ms);
    // Bytes received, 0 when the printer closed the connection, -1 on failure.
    virtual int ReceiveWithTimeout(void* buffer, int length, UINT ms, int flags);
    // Sends the bytes of the NUL-terminated text (the NUL excluded); bytes sent or -1.
    virtual int SendWithTimeout(const char* text, UINT ms, int flags);

    // Starts timer 1 on m_pTimerWnd with period ms; its value goes to m_nTimerID.
    void StartTimer(UINT ms);
    // Kills timer m_nTimerID on m_pTimerWnd; m_nTimerID keeps its value.
    void StopTimer();
    // Stops the timer, forgets it and ends a waiting blocking call.
    void CancelCall();

    BOOL OnMessagePending() override;

    CWnd* m_pTimerWnd = nullptr;  // window that owns the time-out timer
    UINT m_nTimerID = 0;          // value of the last timer start; 0 means none

protected:
    // Starts the time-out of the timed call under way at its first wait.
    void OnBlockingWait() override;

private:
    // Before a timed call: its time-out, started only if the call waits.
    void BeginTimedCall(UINT ms);
    // After a timed call: the timer goes, and an interrupted wait becomes a time-out.
    void EndTimedCall(bool failed, UINT ms);

    UINT m_nCallTimeoutMs = 0;  // time-out of the call under way; 0: none
    bool m_bTimerStarted = false;
};
