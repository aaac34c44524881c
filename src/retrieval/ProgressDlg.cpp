#include "retrieval/ProgressDlg.h"

#include "app/QbxMessages.h"
#include "platform/app.h"
#include "res/resource.h"

BEGIN_MESSAGE_MAP(CProgressDlg, CDialog)
    ON_BN_CLICKED(IDC_CANCEL_ALL, OnCancelAll)
END_MESSAGE_MAP()

void CProgressDlg::DoDataExchange(CDataExchange* pDX)
{
    CDialog::DoDataExchange(pDX);
    DDX_Control(pDX, IDC_CANCEL_ALL, m_btnCancelAll);
    DDX_Control(pDX, IDC_PROGRESS, m_progress);
}

// "&Cancel" (id 2, also Esc): this file.
void CProgressDlg::OnCancel()
{
    if (CWnd* main = AfxGetMainWnd()) main->PostMessage(WM_QBX_CANCEL_XFER, 0, IDCANCEL);
}

// Enter with no button focused must not end the dialog.
void CProgressDlg::OnOK() {}

void CProgressDlg::OnCancelAll()
{
    if (CWnd* main = AfxGetMainWnd()) main->PostMessage(WM_QBX_CANCEL_XFER, 0, IDC_CANCEL_ALL);
}
