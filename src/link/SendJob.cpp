// Sending a job: composed in the I/O buffer, sent whole, and sent again whole after
// every time-out until it goes, the user cancels or the program closes.
#include "app/MainFrm.h"
#include "link/JobLanguage.h"
#include "platform/msgqueue.h"
#include "platform/system.h"
#include "res/resource.h"

BOOL CMainFrame::SendJob(int jobKind)
{
    OutputDebugString("Sending PS commands\n");
    const DirEntry* entry = jobKind == JOB_DIR ? nullptr : CurrentEntry();
    if (ComposeJob(m_szIOBuffer, sizeof m_szIOBuffer, jobKind, m_szUserID, entry ? entry->path : nullptr) < 0) {
        // A job that cannot be composed is never sent half-made.
        OutputDebugString("Job could not be composed\n");
        return FALSE;
    }
    for (;;) {
        if (m_bClosing) return TRUE;
        int sent = m_socket.SendWithTimeout(m_szIOBuffer, 1000, 0);
        if (sent > 0) return TRUE;
        if (sent == 0) continue;
        m_nLastError = WSAGetLastError();
        if (m_nLastError != QBX_WSAETIMEDOUT) {
            ReportSocketError(IDS_SOCKET_SEND_ERROR);
            return FALSE;
        }
        // The printer did not take the job in time (or a close request ended the wait):
        // let everything waiting run, but leave a cancel for the dispatcher.
        if (PumpWaitingMessages(TRUE)) return FALSE;
        if (m_bClosing) return TRUE;
        BlinkStatus(IDS_WAITING_FOR_DATA);
    }
}
