// Delete in the file list, the confirmation, and the step to the next marked file.
// Not built yet: the list stays open.
#include "app/MainFrm.h"
#include "directory/ConfirmDeleteDlg.h"

bool CMainFrame::OnDeleteRequest() { return false; }

void CMainFrame::AskAboutEntry(int) {}

void CMainFrame::NextDeletion(int) {}

LRESULT CMainFrame::OnConfirmAnswer(WPARAM, LPARAM)
{
    if (m_pConfirmDlg && m_pConfirmDlg->m_hWnd) m_pConfirmDlg->DestroyWindow();
    return 1;
}
