// CProgressDlg: "Retrieving File", with percentage, throughput, time left and the two
// cancel buttons. It never ends itself; the buttons are posted to the frame.
#pragma once

#include "platform/dialog.h"
#include "res/resource.h"

#include <cstdint>

class CProgressDlg : public CDialog {
public:
    CProgressDlg() : CDialog(IDD_PROGRESS) {}
    ~CProgressDlg() override = default;

    CButton m_btnCancelAll;
    CProgressCtrl m_progress;

    void DoDataExchange(CDataExchange* pDX) override;
    void OnCancel() override;
    void OnOK() override;
    void OnCancelAll();

    // The figures of an update (bar percentage, Status and Time Left texts) reach the
    // widgets at most once every kShowIntervalMs of the platform clock: a transfer makes
    // an update every 2000 bytes, far more often than anyone can read, and every change
    // costs a repaint. An update within the interval is skipped unless `last` says no
    // further update will come for this file; then it is shown at once. A widget is
    // changed only when the value it shows differs.
    static constexpr std::int64_t kShowIntervalMs = 75;
    void ShowFigures(int percent, const char* status, const char* timeLeft, bool last);
    // A new file begins: its first figures are shown at once.
    void RestartFigures() { m_bShownOnce = false; }

    DECLARE_MESSAGE_MAP()

private:
    bool m_bShownOnce = false;
    std::int64_t m_lastShownMs = 0;
};
