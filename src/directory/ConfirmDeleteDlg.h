// CConfirmDeleteDlg: "Confirm File Deletion", asked once per file (or once for all).
#pragma once

#include "platform/dialog.h"

class CConfirmDeleteDlg : public CDialog {
public:
    CConfirmDeleteDlg() : CDialog(132) {}

    CButton m_btnYesToAll;

    void DoDataExchange(CDataExchange* pDX) override;
    void OnOK() override;
    void OnCancel() override;
    void OnNo();
    void OnYes();
    void OnYesToAll();

    DECLARE_MESSAGE_MAP()
};
