#include "directory/ConfirmDeleteDlg.h"

#include "app/QbxMessages.h"
#include "platform/app.h"
#include "res/resource.h"

BEGIN_MESSAGE_MAP(CConfirmDeleteDlg, CDialog)
    ON_BN_CLICKED(IDC_CONFIRM_NO, OnNo)
    ON_BN_CLICKED(IDC_CONFIRM_YES, OnYes)
    ON_BN_CLICKED(IDC_CONFIRM_YESTOALL, OnYesToAll)
END_MESSAGE_MAP()

void CConfirmDeleteDlg::DoDataExchange(CDataExchange* pDX)
{
    CDialog::DoDataExchange(pDX);
    DDX_Control(pDX, IDC_CONFIRM_YESTOALL, m_btnYesToAll);
}

static void PostAnswer(LPARAM button)
{
    if (CWnd* main = AfxGetMainWnd()) main->PostMessage(WM_QBX_CONFIRM, 0, button);
}

void CConfirmDeleteDlg::OnNo() { PostAnswer(IDC_CONFIRM_NO); }
void CConfirmDeleteDlg::OnYes() { PostAnswer(IDC_CONFIRM_YES); }
void CConfirmDeleteDlg::OnYesToAll() { PostAnswer(IDC_CONFIRM_YESTOALL); }

// Enter and Esc answer No: nothing is deleted without a clear Yes.
void CConfirmDeleteDlg::OnOK() { OnNo(); }
void CConfirmDeleteDlg::OnCancel() { OnNo(); }
