// The operation dispatcher: every conversation with the printer is a chain of steps,
// each posting WM_QBX_IP_OP with the code of the next one so the queue runs between.
#include "app/Globals.h"
#include "app/MainFrm.h"
#include "app/QuillboxDlg.h"
#include "app/Config.h"
#include "link/JobLanguage.h"
#include "platform/clock.h"
#include "platform/msgqueue.h"
#include "platform/prompts.h"
#include "platform/resources.h"
#include "platform/system.h"
#include "res/resource.h"
#include "res/strings.h"
#include "retrieval/ProgressDlg.h"

#include <cstring>

void CMainFrame::ReportSocketError(UINT captionId)
{
    m_nLastError = WSAGetLastError();
    char text[256];
    QbxSocketErrorText(m_nLastError, text, sizeof text);
    MessageBox(m_hWnd, text, GetStringRes(captionId), MB_OK);
    RequestExit();
}

BOOL CMainFrame::CreateJobSocket()
{
    m_bSocketResult = m_socket.Create(0, SOCK_STREAM, m_szBindIP);
    if (!m_bSocketResult) ReportSocketError(IDS_SOCKET_CREATE_ERROR);
    return m_bSocketResult;
}

void CMainFrame::CloseConnection()
{
    m_socket.ShutDown(2);
    m_socket.Close();
    m_bConnected = FALSE;
}

BOOL CMainFrame::CancelWaiting()
{
    MSG msg;
    return ::PeekMessage(&msg, m_hWnd, WM_QBX_IP_OP, WM_QBX_IP_OP, PM_NOREMOVE) &&
           msg.wParam == static_cast<WPARAM>(QBX_CANCEL);
}

BOOL CMainFrame::PumpWaitingMessages(BOOL stopAtCancel)
{
    // The operation steps stay queued for the outer loop: a step that ran in here would
    // run in the middle of the one that is pumping (a batch ended under a connection
    // attempt that then goes on with a closed socket).
    const HWND self = m_hWnd;
    PumpRules rules;
    rules.hold = [self](const MSG& m) { return m.hwnd == self && m.message == WM_QBX_IP_OP; };
    if (stopAtCancel) rules.done = [this] { return CancelWaiting() != FALSE; };
    PumpUntil(rules);
    return CancelWaiting();
}

void CMainFrame::WaitWithoutData(int ms)
{
    IClock* clock = GetClock();
    const std::int64_t until = clock->NowMs() + ms;
    const HWND self = m_hWnd;
    PumpRules rules;
    rules.hold = [self](const MSG& m) { return m.hwnd == self && m.message == WM_QBX_IP_OP; };
    rules.done = [this, clock, until] { return m_bClosing || clock->NowMs() >= until; };
    rules.wait = true;
    rules.wakeAt = until;
    PumpUntil(rules);
}

void CMainFrame::SetMainStatus(const char* text)
{
    if (m_pMainDlg && m_pMainDlg->m_hWnd) m_pMainDlg->SetDlgItemText(IDC_STATUS, text);
}

void CMainFrame::SetProgressStatus(const char* text)
{
    if (m_pProgressDlg && m_pProgressDlg->m_hWnd) m_pProgressDlg->SetDlgItemText(IDC_XFER_STATUS, text);
}

// One blink step: the text when the count is odd, nothing when it is even, in the
// progress dialog during a retrieval, else in the main dialog's status line.
void CMainFrame::BlinkStatus(UINT stringId)
{
    const char* text = GetStringRes(stringId);
    ++m_nBlink;
    if (m_nCurrentOp == QBX_GET) {
        if (m_pProgressDlg && m_pProgressDlg->m_hWnd) {
            m_nBlink %= 2;
            SetProgressStatus(m_nBlink == 1 ? text : "");
        }
    } else {
        m_nBlink %= 2;
        SetMainStatus(m_nBlink == 1 ? text : "");
    }
}

LRESULT CMainFrame::OnMainDlg(WPARAM, LPARAM lParam)
{
    if (lParam == QBX_MAINDLG_EXIT) {
        RequestExit();
        return 1;
    }
    if (!m_pMainDlg || !m_pMainDlg->m_hWnd || m_bClosing || m_bWaitingForSaved) return 1;
    if (m_pMainDlg->m_bUserIDEdited) m_pMainDlg->GetDlgItemText(IDC_USERID, m_szUserID, sizeof m_szUserID);
    m_bBusy = TRUE;
    m_pMainDlg->m_btnOK.EnableWindow(!m_bBusy);
    // The first connection goes where the saved printer answers now, when it answers.
    if (WaitForSavedPrinter()) return 1;
    StartListing();
    return 1;
}

void CMainFrame::StartListing()
{
    // From here on the fields are the user's: the saved printer is no longer looked for.
    StopFindingSavedPrinter();
    if (m_pMainDlg->m_bAddressChanged) {
        m_bSettingsChanged = TRUE;
        m_pMainDlg->GetDlgItemText(IDC_REMOTEIP, m_szRemoteIP, sizeof m_szRemoteIP);
        m_pMainDlg->GetDlgItemText(IDC_REMOTEPORT, m_szRemotePort, sizeof m_szRemotePort);
        m_nRemotePort = LeadingNumber(m_szRemotePort);
        std::snprintf(m_szServiceName, sizeof m_szServiceName, "%s", m_pMainDlg->m_strServiceName.c_str());
        std::snprintf(m_szServiceUUID, sizeof m_szServiceUUID, "%s", m_pMainDlg->m_strServiceUUID.c_str());
        m_pMainDlg->m_bAddressChanged = FALSE;
    }
    OutputDebugString("Message WM_QBX_IP_OP, QBX_DIR posted\n");
    PostMessage(WM_QBX_IP_OP, QBX_DIR, 0);
}

LRESULT CMainFrame::OnIpOp(WPARAM wParam, LPARAM lParam)
{
    int code = static_cast<int>(wParam);
    TraceF("Op Code called with %d, %d\n", code, static_cast<int>(lParam));
    // A resume step is the second half of a connection: without an open one, the
    // operation it was posted for has ended (cancelled, or closed) and nothing runs.
    const bool resume = code == QBX_DIR_RESUME || code == QBX_GET_RESUME || code == QBX_DEL_RESUME;
    if (resume && !m_bConnected) return 1;
    switch (code) {
    case QBX_DIR: OpDir(); break;
    case QBX_CONNECT: OpConnect(); break;
    case QBX_DIR_RESUME: OpDirResume(); break;
    case QBX_GET: OpGet(); break;
    case QBX_DEL: OpDel(); break;
    case QBX_CANCEL: OpCancel(lParam); break;
    case QBX_GET_RESUME: OpGetResume(); break;
    case QBX_DEL_RESUME: OpDelResume(); break;
    default: break;
    }
    return 1;
}

void CMainFrame::OpDir()
{
    OutputDebugString("Getting Directory\n");
    m_nCurrentOp = QBX_DIR;
    m_nBlink = 0;
    m_bConnected = FALSE;
    if (g_bDirectoryLoaded) {
        OpDirResume();
        return;
    }
    if (!CreateJobSocket()) return;
    SetMainStatus(GetStringRes(IDS_CONNECTING));
    PostMessage(WM_QBX_IP_OP, QBX_CONNECT, 0);
}

void CMainFrame::OpConnect()
{
    if (m_bCancel) return;
    m_bSocketResult = m_socket.ConnectWithTimeout(m_szRemoteIP, static_cast<UINT>(m_nRemotePort), 2000);
    if (m_bSocketResult) m_bConnected = TRUE;
    m_nLastError = WSAGetLastError();
    if (m_nLastError == QBX_WSAEISCONN) m_bConnected = TRUE;
    if (!m_bSocketResult && m_nLastError != QBX_WSAETIMEDOUT && m_nLastError != QBX_WSAEISCONN) {
        ReportSocketError(IDS_SOCKET_CONNECT_ERROR);
        return;
    }
    PumpWaitingMessages();
    // The exit may have run inside the pump; the frame's own handle is still alive for
    // its last second, so the timer can still be started safely. A cancel taken inside
    // the pump (its QBX_CANCEL waits behind this step) means no further attempt either:
    // the pacing timer would tick for a connection that is given up.
    if (m_bClosing || m_bCancel) return;
    if (m_nCurrentOp == QBX_GET) {
        if (m_pProgressDlg && m_pProgressDlg->m_hWnd) BlinkStatus(IDS_CONNECTING);
    } else {
        BlinkStatus(IDS_CONNECTING);
    }
    m_nConnectTimer = SetTimer(TIMER_CONNECT, 1000, nullptr);
}

void CMainFrame::OnConnectTimer()
{
    KillTimer(m_nConnectTimer);
    m_nConnectTimer = 0;
    // A tick for an attempt that was given up (cancelled, or its socket closed by the
    // end of the operation) starts nothing.
    if (m_bCancel || (!m_bConnected && m_socket.m_hSocket == INVALID_SOCKET)) return;
    if (!m_bConnected) {
        PostMessage(WM_QBX_IP_OP, QBX_CONNECT, 0);
        return;
    }
    switch (m_nCurrentOp) {
    case QBX_DIR:
        SetMainStatus(GetStringRes(IDS_WAITING_FOR_DATA));
        PostMessage(WM_QBX_IP_OP, QBX_DIR_RESUME, 0);
        break;
    case QBX_GET:
        if (!m_bCancel) {
            SetProgressStatus(GetStringRes(IDS_WAITING_FOR_DATA));
            PostMessage(WM_QBX_IP_OP, QBX_GET_RESUME, 0);
        }
        break;
    case QBX_DEL:
        SetMainStatus(GetStringRes(IDS_WAITING_FOR_DATA));
        PostMessage(WM_QBX_IP_OP, QBX_DEL_RESUME, 0);
        break;
    default: break;
    }
}

void CMainFrame::OpDirResume()
{
    OutputDebugString("Resuming Directory\n");
    if (!SendJob(JOB_DIR)) return;
    if (m_bClosing) return;
    int result = GetDirectory();
    if (m_bClosing) return;
    SetMainStatus("");
    CloseConnection();
    if (result == QBX_LIST_FAILED) return;
    // A refused or broken-off listing is never "no files": the box says what happened,
    // nothing is shown as a list, and the main dialog can be used again.
    if (result == QBX_LIST_REFUSED || result == QBX_LIST_ENDED_EARLY) {
        ReportListingProblem(result);
        JobEnd(QBX_JE_DIRGET);
        return;
    }
    if (result == QBX_LIST_NO_FILES || m_pDirectory->count == 0) {
        if (!ReportListingProblem(result))
            MessageBox(m_hWnd, GetStringRes(IDS_NO_MATCHING_FILES), GetStringRes(IDS_FILE_NOT_FOUND), MB_OK);
        JobEnd(QBX_JE_DIRGET);
        return;
    }
    // Files the list cannot show are named before the list comes up.
    ReportListingProblem(result);
    m_nListedAtMs = GetClock()->NowMs();
    ParseDirectory();
    g_bDirectoryLoaded = TRUE;
    ShowFileList();
    m_nCurrentOp = 0;
}
