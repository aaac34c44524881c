// CConfirmDeleteDlg: "Confirm File Deletion", asked once per file (or once for all).
#pragma once

#include "platform/dialog.h"
#include "res/resource.h"

class CConfirmDeleteDlg : public CDialog {
public:
    CConfirmDeleteDlg() : CDialog(IDD_CONFIRM_DELETE) {}

    CButton m_btnYesToAll;

    void DoDataExchange(CDataExchange* pDX) override;
    void OnOK() override;
    void OnCancel() override;
    void OnNo();
    void OnYes();
    void OnYesToAll();

    DECLARE_MESSAGE_MAP()
};
