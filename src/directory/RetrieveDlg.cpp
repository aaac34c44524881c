#include "directory/RetrieveDlg.h"

#include "app/Config.h"
#include "app/Globals.h"
#include "app/QbxMessages.h"
#include "platform/app.h"
#include "platform/resources.h"
#include "res/resource.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

BEGIN_MESSAGE_MAP(CRetrieveDlg, CDialog)
    ON_BN_CLICKED(IDC_DELETE, OnDelete)
    ON_BN_CLICKED(IDC_RETRIEVE, OnRetrieve)
    ON_LBN_SELCHANGE(IDC_FILELIST, UpdateButtons)
    ON_LBN_SELCANCEL(IDC_FILELIST, UpdateButtons)
    ON_CBN_SELCHANGE(IDC_VIEWBY, SortFileList)
END_MESSAGE_MAP()

CRetrieveDlg::~CRetrieveDlg() { delete[] m_pOrder; }

void CRetrieveDlg::DoDataExchange(CDataExchange* pDX)
{
    CDialog::DoDataExchange(pDX);
    DDX_Control(pDX, IDC_VIEWBY, m_cbViewBy);
    DDX_Control(pDX, IDC_FILELIST, m_lbFiles);
    DDX_Control(pDX, IDC_DELETE, m_btnDelete);
    DDX_Control(pDX, IDC_RETRIEVE, m_btnRetrieve);
}

BOOL CRetrieveDlg::OnInitDialog()
{
    CDialog::OnInitDialog();
    return TRUE;
}

void CRetrieveDlg::OnOK()
{
    WriteSortBySetting();
    g_bDirectoryLoaded = FALSE;
    CDialog::OnOK();
    if (CWnd* main = AfxGetMainWnd()) main->PostMessage(WM_QBX_RETRIEVE, 0, 1);
}

// The caption's close box and Esc act like Close, so the main dialog's OK comes back.
void CRetrieveDlg::OnCancel() { OnOK(); }

void CRetrieveDlg::OnDelete()
{
    if (CWnd* main = AfxGetMainWnd()) main->PostMessage(WM_QBX_RETRIEVE, 0, IDC_DELETE);
}

void CRetrieveDlg::OnRetrieve()
{
    if (CWnd* main = AfxGetMainWnd()) main->PostMessage(WM_QBX_RETRIEVE, 0, IDC_RETRIEVE);
}

void CRetrieveDlg::SortFileList() {}

void CRetrieveDlg::UpdateButtons() {}

void CRetrieveDlg::FormatLine(const DirEntry& e, char* out, int outSize)
{
    std::snprintf(out, static_cast<std::size_t>(outSize), "%s\t%s\t%s", e.name, e.size, e.dateTime);
}
