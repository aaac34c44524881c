// The steps of a deletion: QBX_DEL makes the connection, QBX_DEL_RESUME sends the
// deletion job for the current file and goes on with the next marked one.
#include "app/MainFrm.h"
#include "link/JobLanguage.h"
#include "platform/resources.h"
#include "platform/system.h"
#include "res/resource.h"

namespace {

// The current index names a record of the table that the user chose to delete.
bool IsMarkedRecord(const DirHeader* dir, int index)
{
    if (index < 0 || index >= UsableRecordCount(dir)) return false;
    return dir->entries[index].marked == 1;
}

}  // namespace

void CMainFrame::OpDel()
{
    if (m_bClosing) return;
    if (!IsMarkedRecord(m_pDirectory, m_nCurrentFile)) {
        // Only a file the user said Yes to is deleted; without one the run is over.
        OutputDebugString("No file to delete\n");
        JobEnd(QBX_JE_FILEDEL);
        return;
    }
    m_nCurrentOp = QBX_DEL;
    m_bConnected = FALSE;
    m_nBlink = 0;
    if (!CreateJobSocket()) return;
    SetMainStatus(GetStringRes(IDS_CONNECTING));
    PostMessage(WM_QBX_IP_OP, QBX_CONNECT, 0);
}

void CMainFrame::OpDelResume()
{
    if (m_bClosing || !m_pDirectory) return;
    const bool yesToAll = m_pDirectory->command == QBX_CMD_DELETE_ALL;
    if (!IsMarkedRecord(m_pDirectory, m_nCurrentFile)) {
        OutputDebugString("No file to delete\n");
        if (!yesToAll && m_bConnected) CloseConnection();
        JobEnd(QBX_JE_FILEDEL);
        m_nCurrentOp = 0;
        return;
    }
    // The printer answers nothing to a deletion; there is nothing to read back.
    SendJob(JOB_DELETE);
    SetMainStatus("");
    if (m_bClosing) return;
    // Under Yes to All the connection stays open for the next file; JobEnd closes it.
    if (!yesToAll) CloseConnection();
    RemoveEntry();
    NextDeletion(yesToAll ? 1 : 0);
    m_nCurrentOp = 0;
}
