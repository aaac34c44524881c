#include "app/QuillboxDlg.h"

#include "app/QbxMessages.h"
#include "platform/app.h"
#include "platform/prompts.h"
#include "platform/resources.h"
#include "app/FindPrinterDlg.h"
#include "ui/AboutDlg.h"

#include <cstring>

BEGIN_MESSAGE_MAP(CQuillboxDlg, CDialog)
    ON_EN_CHANGE(IDC_USERID, OnChangeUserID)
    ON_EN_CHANGE(IDC_REMOTEIP, OnChangeAddress)
    ON_EN_CHANGE(IDC_REMOTEPORT, OnChangeAddress)
    ON_BN_CLICKED(IDC_ABOUT, OnAbout)
    ON_BN_CLICKED(IDC_FIND_PRINTER, OnFindPrinter)
END_MESSAGE_MAP()

void CQuillboxDlg::DoDataExchange(CDataExchange* pDX)
{
    CDialog::DoDataExchange(pDX);
    DDX_Control(pDX, IDOK, m_btnOK);
    DDX_Control(pDX, IDC_HELPBTN, m_btnHelp);
}

BOOL CQuillboxDlg::OnInitDialog()
{
    CDialog::OnInitDialog();
    m_bUserIDEdited = FALSE;
    m_bAddressChanged = FALSE;
    FocusUserID();
    // Esc or the close box end the program even while a socket call waits.
    if (CWnd* main = AfxGetMainWnd()) SetBlockingCloseRequest(main->m_hWnd, WM_QBX_MAINDLG, 0, QBX_MAINDLG_EXIT);
    return FALSE;
}

BOOL CQuillboxDlg::IsValidUserID(const char* text)
{
    if (!text) return FALSE;
    std::size_t n = std::strlen(text);
    if (n < 1 || n > 8) return FALSE;
    for (std::size_t i = 0; i < n; ++i)
        if (text[i] < '0' || text[i] > '9') return FALSE;
    return TRUE;
}

void CQuillboxDlg::OnChangeUserID()
{
    char text[12];
    GetDlgItemText(IDC_USERID, text, sizeof text);
    bool passes = std::strlen(text) <= 8;
    for (const char* p = text; passes && *p; ++p)
        if (*p < '0' || *p > '9') passes = false;
    if (!passes) {
        ShowBadUserID();
        FocusUserID();
    }
    m_bUserIDEdited = TRUE;
}

void CQuillboxDlg::OnChangeAddress()
{
    m_bAddressChanged = TRUE;
    // An address typed by hand is no longer the found printer's.
    if (!m_bFillingFound) {
        m_strServiceName.clear();
        m_strServiceUUID.clear();
    }
}

void CQuillboxDlg::OnFindPrinter()
{
    CFindPrinterDlg find;
    if (find.DoModal() != IDOK) return;
    const PrinterLine& p = find.m_chosen;
    // As if typed: the change notifications mark the address for saving.
    m_bFillingFound = true;
    SetDlgItemText(IDC_REMOTEIP, p.address.c_str());
    SetDlgItemText(IDC_REMOTEPORT, std::to_string(p.port).c_str());
    m_bFillingFound = false;
    m_strServiceName = p.serviceName;
    m_strServiceUUID = p.uuid;
    FocusUserID();
}

void CQuillboxDlg::OnOK()
{
    UpdateData(TRUE);
    char text[12];
    GetDlgItemText(IDC_USERID, text, sizeof text);
    if (!IsValidUserID(text)) {
        ShowBadUserID();
        FocusUserID();
        return;
    }
    if (CWnd* main = AfxGetMainWnd()) main->PostMessage(WM_QBX_MAINDLG, 0, QBX_MAINDLG_OK);
}

void CQuillboxDlg::OnCancel()
{
    if (CWnd* main = AfxGetMainWnd()) main->PostMessage(WM_QBX_MAINDLG, 0, QBX_MAINDLG_EXIT);
}

void CQuillboxDlg::OnAbout()
{
    CAboutDlg about;
    about.DoModal();
}

void CQuillboxDlg::ResetForNewUser()
{
    m_bAddressChanged = FALSE;
    m_bUserIDEdited = FALSE;
    FocusUserID();
}

void CQuillboxDlg::FocusUserID()
{
    m_pUserID = GetDlgItem(IDC_USERID);
    if (m_pUserID) m_pUserID->SetFocus();
}

void CQuillboxDlg::ShowBadUserID()
{
    MessageBox(m_hWnd, GetStringRes(IDS_BAD_USER_ID), GetStringRes(IDS_BAD_USER_ID_CAPTION), MB_OK);
}
