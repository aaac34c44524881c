// CQuillboxDlg: the main dialog, where the user keys in the user ID, the printer's
// address and port. It validates the user ID and posts the user's wish to the frame.
#pragma once

#include "platform/dialog.h"
#include "res/resource.h"

#include <string>

class CQuillboxDlg : public CDialog {
public:
    CQuillboxDlg() : CDialog(IDD_QUILLBOX_DIALOG) {}

    BOOL m_bUserIDEdited = FALSE;
    BOOL m_bAddressChanged = FALSE;
    CButton m_btnOK;
    CButton m_btnHelp;
    CWnd* m_pUserID = nullptr;  // fetched again each time the focus goes to it
    // The printer last chosen in Printers Found from the network, while the address and
    // port fields still hold what it filled in: its DNS-SD service name and UUID (empty
    // otherwise). The frame saves them with the address.
    std::string m_strServiceName;
    std::string m_strServiceUUID;

    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnInitDialog() override;
    void OnOK() override;
    void OnCancel() override;

    void OnChangeUserID();
    void OnChangeAddress();
    void OnAbout();
    void OnFindPrinter();
    void ResetForNewUser();

    // 1 to 8 characters, every one a decimal digit.
    static BOOL IsValidUserID(const char* text);

    DECLARE_MESSAGE_MAP()

private:
    void FocusUserID();
    void ShowBadUserID();
    bool m_bFillingFound = false;
};
