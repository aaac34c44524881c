// CQuillboxDlg: the main dialog, where the user keys in the user ID, the printer's
// address and port. It validates the user ID and posts the user's wish to the frame.
#pragma once

#include "platform/dialog.h"
#include "res/resource.h"

class CQuillboxDlg : public CDialog {
public:
    CQuillboxDlg() : CDialog(IDD_QUILLBOX_DIALOG) {}

    BOOL m_bUserIDEdited = FALSE;
    BOOL m_bAddressChanged = FALSE;
    CButton m_btnOK;
    CButton m_btnHelp;
    CWnd* m_pUserID = nullptr;  // fetched again each time the focus goes to it

    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnInitDialog() override;
    void OnOK() override;
    void OnCancel() override;

    void OnChangeUserID();
    void OnChangeAddress();
    void OnAbout();
    void ResetForNewUser();

    // 1 to 8 characters, every one a decimal digit.
    static BOOL IsValidUserID(const char* text);

    DECLARE_MESSAGE_MAP()

private:
    void FocusUserID();
    void ShowBadUserID();
};
