// CProgressDlg: "Retrieving File", with percentage, throughput, time left and the two
// cancel buttons. It never ends itself; the buttons are posted to the frame.
#pragma once

#include "platform/dialog.h"

class CProgressDlg : public CDialog {
public:
    CProgressDlg() : CDialog(130) {}
    ~CProgressDlg() override = default;

    CButton m_btnCancelAll;
    CProgressCtrl m_progress;

    void DoDataExchange(CDataExchange* pDX) override;
    void OnCancel() override;
    void OnOK() override;
    void OnCancelAll();

    DECLARE_MESSAGE_MAP()
};
