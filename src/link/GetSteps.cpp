// The steps of a retrieval batch and the cancelling of a transfer. A batch takes the
// marked records one by one, each over a connection of its own: QBX_GET finds the
// next one and connects, QBX_GET_RESUME copies it (and deletes it on the printer when
// automatic deletion is on), and QBX_GET again; QBX_CANCEL leads back to QBX_GET.
#include "app/Globals.h"
#include "app/MainFrm.h"
#include "link/JobLanguage.h"
#include "platform/msgqueue.h"
#include "platform/resources.h"
#include "platform/system.h"
#include "res/resource.h"
#include "retrieval/ProgressDlg.h"

#include <cstring>

namespace {

int RecordCount(const DirHeader* dir)
{
    if (!dir || !dir->entries || dir->count <= 0) return 0;
    return dir->count > QBX_MAX_DIR_ENTRIES ? QBX_MAX_DIR_ENTRIES : dir->count;
}

}  // namespace

void CMainFrame::OpGet()
{
    if (m_bClosing) return;
    m_bCancel = FALSE;
    m_bConnected = FALSE;
    m_nCurrentOp = QBX_GET;
    m_nBlink = 0;
    m_bInHeader = TRUE;
    m_nHeaderLen = 0;
    m_nBytesReceived = 0;
    m_bSkipLineEnds = FALSE;
    m_bWriteFailed = FALSE;
    m_nCurrentFile = 0;
    m_bTransferActive = TRUE;
    std::memset(m_header, 0, sizeof m_header);

    const int count = RecordCount(m_pDirectory);
    int next = -1;
    for (int i = 0; i < count; ++i) {
        if (m_pDirectory->entries[i].marked) {
            next = i;
            break;
        }
    }

    if (next < 0) {
        m_bTransferActive = FALSE;
        // A file still open here was never finished: it does not stay behind.
        DiscardOutFile();
        m_szDestPath[0] = '\0';
        // The user's selection comes back as it was before the batch.
        for (int i = 0; i < count; ++i) {
            DirEntry& e = m_pDirectory->entries[i];
            if (e.processed) {
                e.marked = 1;
                e.processed = 0;
            }
        }
        OutputDebugString("JobEnd QBX_JE_FILEGET called\n");
        JobEnd(QBX_JE_FILEGET);
        return;
    }

    m_nCurrentFile = next;
    if (!CreateJobSocket()) return;
    BeginFileRetrieval();
    SetProgressStatus(GetStringRes(IDS_CONNECTING));
    PostMessage(WM_QBX_IP_OP, QBX_CONNECT, 0);
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
            PostMessage(WM_QBX_IP_OP, QBX_CANCEL, 1);
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
            PostMessage(WM_QBX_IP_OP, QBX_CANCEL, 1);
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
    if (m_pProgressDlg && m_pProgressDlg->m_hWnd) m_pProgressDlg->DestroyWindow();
    m_bShowProgress = FALSE;
    m_socket.CancelCall();
    m_bCancel = TRUE;
    PostMessage(WM_QBX_IP_OP, QBX_CANCEL, lParam == IDC_CANCEL_ALL ? 1 : 0);
    return 1;
}

void CMainFrame::OpCancel(LPARAM lParam)
{
    if (m_bClosing) return;
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
    const int count = RecordCount(m_pDirectory);
    if (m_nCurrentFile >= 0 && m_nCurrentFile < count) {
        DirEntry& e = m_pDirectory->entries[m_nCurrentFile];
        e.marked = 0;
        e.processed = 1;
    }
    if (lParam == 1) {
        for (int i = 0; i < count; ++i) {
            DirEntry& e = m_pDirectory->entries[i];
            if (e.marked) {
                e.marked = 0;
                e.processed = 1;
            }
        }
    }
    OutputDebugString("Message WM_QBX_IP_OP, QBX_GET posted\n");
    PostMessage(WM_QBX_IP_OP, QBX_GET, 0);
}
