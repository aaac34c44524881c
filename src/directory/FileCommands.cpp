// The file list as the frame sees it: showing it, and the commands it posts back.
#include "app/Globals.h"
#include "app/MainFrm.h"
#include "app/QuillboxDlg.h"
#include "directory/ConfirmDeleteDlg.h"
#include "directory/RetrieveDlg.h"
#include "res/resource.h"

void CMainFrame::ShowFileList()
{
    if (!m_pRetrieveDlg) m_pRetrieveDlg = new CRetrieveDlg;
    m_pRetrieveDlg->m_pDir = m_pDirectory;
    // Every showing builds the list afresh from the table: a window still standing
    // from an earlier showing would show records the table no longer holds.
    if (m_pRetrieveDlg->m_hWnd) m_pRetrieveDlg->DestroyWindow();
    if (!m_pRetrieveDlg->Create(IDD_RETRIEVE, nullptr)) return;
    m_pRetrieveDlg->m_lbFiles.SetTabStops(32);
    m_pRetrieveDlg->SetDlgItemText(IDC_LIST_USERID, m_szUserID);
}

LRESULT CMainFrame::OnRetrieveCommand(WPARAM, LPARAM lParam)
{
    int selected = 0;
    if (m_pRetrieveDlg && m_pRetrieveDlg->m_lbFiles.m_hWnd) selected = m_pRetrieveDlg->m_lbFiles.GetSelCount();
    if (selected < 0) selected = 0;
    m_nFilesLeft = selected;
    m_bSingleFile = selected == 1 ? TRUE : FALSE;
    bool closeList = true;

    if (lParam == 1) {
        m_bBusy = FALSE;
        if (m_pMainDlg && m_pMainDlg->m_hWnd) {
            m_pMainDlg->m_btnOK.EnableWindow(!m_bBusy);
            m_pMainDlg->SetDlgItemText(IDC_USERID, "");
            m_pMainDlg->SetFocus();
            m_pMainDlg->ResetForNewUser();
        }
    } else if (lParam == IDC_RETRIEVE) {
        closeList = OnRetrieveRequest();
    } else if (lParam == IDC_DELETE) {
        closeList = OnDeleteRequest();
    }
    if (closeList && m_pRetrieveDlg && m_pRetrieveDlg->m_hWnd) m_pRetrieveDlg->DestroyWindow();
    return 1;
}
