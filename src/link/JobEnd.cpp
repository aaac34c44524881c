// The end of an operation: the progress dialog goes, the state is reset, and the user
// is brought back to the file list, or to the main dialog when no file is left.
#include "app/Globals.h"
#include "app/MainFrm.h"
#include "app/QuillboxDlg.h"
#include "directory/RetrieveDlg.h"
#include "platform/system.h"
#include "retrieval/ProgressDlg.h"

void CMainFrame::JobEnd(int kind)
{
    if (m_bShowProgress) m_bShowProgress = FALSE;
    if (m_pProgressDlg) {
        if (m_pProgressDlg->m_hWnd) m_pProgressDlg->DestroyWindow();
        delete m_pProgressDlg;
        m_pProgressDlg = nullptr;
    }
    m_bBusy = FALSE;
    m_nFilesLeft = 0;
    m_nCurrentFile = 0;
    m_bSingleFile = FALSE;

    // Once the exit has begun the dialogs are gone: nothing more to show.
    if (m_bClosing || !m_pMainDlg || !m_pMainDlg->m_hWnd) return;

    auto backToMainDialog = [this](bool enableFirst) {
        if (enableFirst) m_pMainDlg->m_btnOK.EnableWindow(!m_bBusy);
        m_pMainDlg->SetDlgItemText(IDC_USERID, "");
        m_pMainDlg->BringWindowToTop();
        m_pMainDlg->SetFocus();
        m_pMainDlg->ResetForNewUser();
        if (!enableFirst) m_pMainDlg->m_btnOK.EnableWindow(!m_bBusy);
    };
    auto showListAgain = [this] {
        ShowFileList();
        if (m_pRetrieveDlg && m_pRetrieveDlg->m_hWnd) {
            m_pRetrieveDlg->SetFocus();
            m_pRetrieveDlg->BringWindowToTop();
        }
    };
    // After a retrieval or a deletion: the list again, or the main dialog when the
    // table is empty.
    auto listOrMainDialog = [&] {
        if (!m_pDirectory || m_pDirectory->count == 0) {
            backToMainDialog(false);
            g_bDirectoryLoaded = FALSE;
        } else {
            showListAgain();
        }
    };

    switch (kind) {
    case QBX_JE_DIRGET: backToMainDialog(true); break;
    case QBX_JE_FILEGET:
        OutputDebugString("JobEnd with QBX_JE_FILEGET\n");
        listOrMainDialog();
        break;
    case QBX_JE_FILEDEL:
        if (m_pDirectory && m_pDirectory->command == QBX_CMD_DELETE_ALL && m_bConnected) CloseConnection();
        listOrMainDialog();
        break;
    default: break;
    }
}
