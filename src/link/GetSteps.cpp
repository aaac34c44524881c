// The steps of a retrieval batch and the cancelling of a transfer. A batch takes the
// marked records one by one, each over a connection of its own: QBX_GET finds the
// next one and connects, QBX_GET_RESUME copies it (and deletes it on the printer when
// automatic deletion is on), and QBX_GET again; QBX_CANCEL leads back to QBX_GET.
#include "app/Globals.h"
#include "app/MainFrm.h"
#include "link/JobLanguage.h"
#include "platform/clock.h"
#include "platform/msgqueue.h"
#include "platform/prompts.h"
#include "platform/resources.h"
#include "platform/system.h"
#include "res/resource.h"
#include "retrieval/ProgressDlg.h"
#include "retrieval/ProgressMath.h"

#include <cstdio>
#include <cstring>
#include <string>

void CMainFrame::OpGet()
{
    if (m_bClosing) return;
    ResetTransferState();
    m_nCurrentOp = QBX_GET;
    m_bWriteFailed = FALSE;
    m_bTransferActive = TRUE;

    const int next = m_pDirectory ? FirstMarkedRecord(*m_pDirectory) : -1;

    if (next < 0) {
        m_bTransferActive = FALSE;
        // A file still open here was never finished: it does not stay behind.
        DiscardOutFile();
        m_szDestPath[0] = '\0';
        // The user's selection comes back as it was before the batch.
        if (m_pDirectory) RestoreProcessedMarks(*m_pDirectory);
        OutputDebugString("JobEnd QBX_JE_FILEGET called\n");
        JobEnd(QBX_JE_FILEGET);
        return;
    }

    m_nCurrentFile = next;
    if (RefuseTooLarge()) return;
    if (!CreateJobSocket()) return;
    BeginFileRetrieval();
    if (!WaitForSettledListing()) return;
    SetProgressStatus(GetStringRes(IDS_CONNECTING));
    PostMessage(WM_QBX_IP_OP, QBX_CONNECT, 0);
}

BOOL CMainFrame::WaitForSettledListing()
{
    // A scan the printer is still writing grows page by page, with pauses between the
    // pages; in a pause the listing and the upload answer agree on the size written so
    // far. Only a file whose two reports of its size lie the settle time apart is
    // taken as finished, so a listing younger than that waits here (only when the user
    // retrieved within the settle time of the listing, and only once per batch).
    // The upload answer then reports the size again: a file that grew meanwhile is not
    // whole (the answer's size is not the listed one), is not kept and stays on the
    // printer.
    if (!g_bAutoDelete || m_nSettleMs <= 0) return TRUE;
    IClock* clock = GetClock();
    const std::int64_t until = m_nListedAtMs + m_nSettleMs;
    if (clock->NowMs() >= until) return TRUE;
    SetProgressStatus(GetStringRes(IDS_WAITING_FOR_SCAN));
    OutputDebugString("Waiting for the scan to settle\n");
    const HWND self = m_hWnd;
    PumpRules rules;
    rules.hold = [self](const MSG& m) { return m.hwnd == self && m.message == WM_QBX_IP_OP; };
    rules.done = [this, clock, until] { return m_bClosing || m_bCancel || clock->NowMs() >= until; };
    rules.wait = true;
    rules.wakeAt = until;
    PumpUntil(rules);
    return !m_bClosing && !m_bCancel;
}

BOOL CMainFrame::RefuseTooLarge()
{
    const DirEntry* e = CurrentEntry();
    if (!e || ReadFileSize(FieldText(e->size).c_str()) < QBX_MAX_UPLOAD_SIZE) return FALSE;
    // One answer of the printer cannot carry the file whole, and a cut copy must never
    // pass for the file: it is not asked for at all. A file of exactly the largest size
    // an answer carries is refused too: a printer that cuts a larger file announces
    // that very size, so such an answer cannot be told from a whole one. The batch
    // goes on without it.
    m_bTransferActive = FALSE;
    const std::string name = FieldText(e->name);
    char text[1024];
    std::snprintf(text, sizeof text, GetStringRes(IDS_TOO_LARGE), name.c_str());
    MessageBox(m_hWnd, text, GetStringRes(IDS_COPY_FAILED), MB_OK);
    if (m_bClosing) return TRUE;
    if (m_pDirectory) SetRecordProcessed(*m_pDirectory, m_nCurrentFile);
    --m_nFilesLeft;
    // A cancel given while the box was up goes on with the batch itself.
    if (m_bCancel) return TRUE;
    OutputDebugString("Message WM_QBX_IP_OP, QBX_GET posted\n");
    PostMessage(WM_QBX_IP_OP, QBX_GET, 0);
    return TRUE;
}

void CMainFrame::OpGetResume()
{
    if (m_bCancel) return;
    if (!SendJob(JOB_UPLOAD)) {
        // Neither closing nor cancelled: the job was refused before it went (a name
        // on the printer that the request cannot carry). The batch stops, as below.
        if (!m_bClosing && !m_bCancel) {
            ReportCopyNotMade(IDS_NAME_NOT_SENDABLE);
            m_bCancel = TRUE;
            OutputDebugString("Message WM_QBX_IP_OP, QBX_CANCEL posted\n");
            PostMessage(WM_QBX_IP_OP, QBX_CANCEL, QBX_CANCEL_ALL_FILES);
        }
        return;
    }
    if (m_bClosing) return;
    if (!RetrieveFile()) {
        // A copy that is not the printer's whole file, or that failed on the local
        // side, stops the batch the way Cancel All does: the connection goes, and the
        // records not yet done come back selected with the list. Nothing of this file
        // is deleted on the printer.
        if (!m_bClosing && m_bWriteFailed) {
            m_bCancel = TRUE;
            OutputDebugString("Message WM_QBX_IP_OP, QBX_CANCEL posted\n");
            PostMessage(WM_QBX_IP_OP, QBX_CANCEL, QBX_CANCEL_ALL_FILES);
        }
        return;
    }
    if (m_bClosing) return;

    DirEntry* e = CurrentEntry();
    if (e) {
        e->marked = 0;
        e->processed = 1;
    }

    if (!g_bAutoDelete) {
        --m_nFilesLeft;
    } else {
        // Only a complete copy, closed without error, gets here. The deletion job goes
        // on the same connection; the printer does not answer it.
        BOOL sent = SendJob(JOB_DELETE);
        if (m_bClosing) return;
        // A deletion job that did not go leaves the file on the printer: its record
        // stays (as done) instead of vanishing from the list.
        if (sent)
            RemoveEntry();
        else
            --m_nFilesLeft;
    }

    CloseConnection();
    // A cancel given after the copy was complete (while the deletion job waited) is
    // already queued and goes on with the batch itself; a second QBX_GET would start
    // the next file twice.
    if (m_bCancel) return;
    OutputDebugString("Message WM_QBX_IP_OP, QBX_GET posted\n");
    PostMessage(WM_QBX_IP_OP, QBX_GET, 0);
}

LRESULT CMainFrame::OnCancelXfer(WPARAM, LPARAM lParam)
{
    // One cancel per file, and only while the file is under way: the progress window
    // it came from is still up and no cancel waits already. A second click queued
    // before the first was handled, a click after the batch ended, and a click that
    // lands once the file is done and the batch has moved on (its QBX_GET waits) are
    // dropped: each would end the batch a second time.
    if (m_bClosing || m_bCancel || !m_pProgressDlg || !m_pProgressDlg->m_hWnd) return 1;
    MSG next;
    if (::PeekMessage(&next, m_hWnd, WM_QBX_IP_OP, WM_QBX_IP_OP, PM_NOREMOVE) &&
        next.wParam == static_cast<WPARAM>(QBX_GET))
        return 1;
    m_pProgressDlg->DestroyWindow();
    m_bShowProgress = FALSE;
    m_socket.CancelCall();
    m_bCancel = TRUE;
    PostMessage(WM_QBX_IP_OP, QBX_CANCEL, lParam == IDC_CANCEL_ALL ? QBX_CANCEL_ALL_FILES : QBX_CANCEL_THIS_FILE);
    return 1;
}

void CMainFrame::OpCancel(LPARAM lParam)
{
    // Every QBX_CANCEL follows a cancel that set m_bCancel, and only the QBX_GET it
    // posts clears it: without the flag this one is stale.
    if (m_bClosing || !m_bCancel) return;
    if (m_bConnected) {
        CloseConnection();
    } else {
        // A connection still being made for this file is given up as well, with the
        // pacing timer that would try it again.
        m_socket.Close();
    }
    if (m_nConnectTimer) {
        KillTimer(m_nConnectTimer);
        m_nConnectTimer = 0;
    }
    m_nBytesReceived = 0;
    m_nCurrentOp = 0;
    if (m_bTransferActive && OutFileOpen()) {
        DiscardOutFile();
        m_bTransferActive = FALSE;
    }
    if (m_pDirectory) {
        SetRecordProcessed(*m_pDirectory, m_nCurrentFile);
        if (lParam == QBX_CANCEL_ALL_FILES) SetMarkedRecordsProcessed(*m_pDirectory);
    }
    OutputDebugString("Message WM_QBX_IP_OP, QBX_GET posted\n");
    PostMessage(WM_QBX_IP_OP, QBX_GET, 0);
}
